#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/storage_fixture.h"

// The data folder on a full disk: a tmpfs of 64 KiB mounted for the test, filled up to its last page.

namespace varnel {
namespace {

namespace fs = std::filesystem;

TEST(FullDisk, AnOverwriteThatDoesNotFitRejectsAndKeepsTheOldContent) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
    test::TempDir disk;
    if (::mount("tmpfs", disk.path().c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
    struct Unmount {
        const fs::path& at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{disk.path()};
    // Folders are made on the small disk only when used.
    test::TestHost host(test::makeTestRuntime([&](RuntimeServices& s) { s.localDataFolder = disk.path().native(); }));
    const fs::path root = disk.path() / "VarnelMac", profile = root / "profiles" / "p";
    const bridge::JSValue large(std::string(16 * 1024, 'n'));
    const struct {
        const char* method;
        bridge::JSValue before, after;
        fs::path file;
        std::string old;
    } cases[] = {
        {"writeUserDefaults", test::args({"k", "old value"}), test::args({"k", large}), root / "prefs" / "k", "old value"},
        {"saveOvpnProfile", test::args({"p", "old config", "c.ovpn"}), test::args({"p", large, "c.ovpn"}), profile / "c.ovpn", "old config"},
        {"saveOvpnProfileMeta", test::args({"p", "{\"old\":1}"}), test::args({"p", large}), profile / "meta.json", "{\"old\":1}"},
        {"saveOvpnAuth", test::args({"p", "old", "pw"}), test::args({"p", large, "pw"}), profile / "auth.txt", "old\npw\n"},
    };
    for (const auto& c : cases) ASSERT_TRUE(host.callAndWait(c.method, c.before).resolved) << c.method;
    // Fills the disk, then frees one page: what is left holds a small file but not a large one.
    {
        std::ofstream filler(disk.path() / "filler", std::ios::binary);
        const std::string page(4096, 'f');
        while (filler.write(page.data(), page.size()).flush()) {
        }
    }
    fs::resize_file(disk.path() / "filler", fs::file_size(disk.path() / "filler") / 4096 * 4096 - 4096);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        EXPECT_EQ(test::rejectionMessage(host.callAndWait(c.method, c.after)), "Could not write " + c.file.string() + ": No space left on device");
        EXPECT_TRUE(test::fileBytes(c.file) == c.old) << "the old content is gone";
    }
    // No temporary file is left to take up the space.
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "prefs"), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(profile), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace varnel
