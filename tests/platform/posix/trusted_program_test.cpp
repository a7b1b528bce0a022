#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/openvpn_install.h"
#include "support/temp_dir.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;

// A program run as root must be one nobody else can swap: its file and its folder root's alone.
TEST(TrustedProgram, OnlyARegularFileThatOnlyRootMayChangeInAFolderLikewise) {
    if (::geteuid() != 0) GTEST_SKIP() << "the files must belong to root";
    test::TempDir temp;
    const fs::path folder = temp.path() / "bin";
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms(0755));
    const fs::path program = folder / "openvpn";
    std::ofstream(program) << "#!/bin/sh\n";
    fs::permissions(program, fs::perms(0755));
    EXPECT_TRUE(platform::isTrustedProgram(program.native()));

    fs::permissions(program, fs::perms(0775));
    EXPECT_FALSE(platform::isTrustedProgram(program.native())) << "group-writable file";
    fs::permissions(program, fs::perms(0755));
    fs::permissions(folder, fs::perms(0777));
    EXPECT_FALSE(platform::isTrustedProgram(program.native())) << "world-writable folder";
    fs::permissions(folder, fs::perms(0755));
    fs::remove(program);
    fs::create_directories(program);
    EXPECT_FALSE(platform::isTrustedProgram(program.native())) << "a folder of that name";
}

}  // namespace
}  // namespace varnel
