#include "shell/entry.h"
#include "shell/page_list.h"

int main(int argc, char** argv) {
    return shell::ProgramEntry(argc, argv, shell::AllPages());
}
