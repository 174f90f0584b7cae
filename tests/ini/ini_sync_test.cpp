// A written file must survive a power cut: the file's data and then the folder that holds
// its new name go to disk. fsync is taken over for this test executable so the test sees
// which descriptors were synced.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "ini/ini.h"

namespace {
struct Synced {
    bool file = false;
    bool directory = false;
};
std::vector<Synced> syncs;
}  // namespace

extern "C" int fsync(int fd) {
    using Fn = int (*)(int);
    static const Fn real = reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, "fsync"));
    struct stat info {};
    if (::fstat(fd, &info) == 0) syncs.push_back({S_ISREG(info.st_mode), S_ISDIR(info.st_mode)});
    return real(fd);
}

TEST(IniFileSync, TheFileAndThenItsFolderAreSynced) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("ini-sync-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ini::IniObject object;
    object.PutString("GENERAL INFO", "FILE TYPE:", "Test");
    syncs.clear();
    ASSERT_TRUE(object.WriteToFile((dir / "a.ini").string()));
    ASSERT_EQ(syncs.size(), 2u);
    EXPECT_TRUE(syncs[0].file);
    EXPECT_TRUE(syncs[1].directory);
    fs::remove_all(dir);
}
