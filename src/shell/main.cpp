#include "shell/entry.h"

int main(int argc, char** argv) {
    return shell::ProgramEntry(argc, argv);
}
