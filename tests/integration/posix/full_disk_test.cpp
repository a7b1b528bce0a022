#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/storage_fixture.h"

// The data folder on a full disk: a tmpfs of 64 KiB mounted for the test, filled up to its last page.

namespace varnel {
namespace {

namespace fs = std::filesystem;

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
        if (::mount("tmpfs", disk.path().c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
        mounted = true;
    }
    void TearDown() override {
        if (mounted) ::umount2(disk.path().c_str(), MNT_DETACH);
    }

    // Fills the disk, then frees one page: what is left holds a small file but not a large one.
    void fill() {
        const std::string filler = (disk.path() / "filler").string();
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        const std::string page(4096, 'f');
        off_t size = 0;
        while (::write(fd, page.data(), page.size()) == static_cast<ssize_t>(page.size())) size += static_cast<off_t>(page.size());
        ASSERT_EQ(::ftruncate(fd, size - static_cast<off_t>(page.size())), 0);
        ::close(fd);
    }

    fs::path root() const { return disk.path() / "VarnelMac"; }

    test::TempDir disk;
    bool mounted = false;
    // Its data folder lies on the small disk mounted at SetUp (folders are made only when used).
    std::shared_ptr<test::TestRuntime> runtime =
        test::makeTestRuntime([this](RuntimeServices& s) { s.localDataFolder = disk.path().native(); });
    test::TestHost host{runtime};
};

TEST_F(FullDisk, AnOverwriteThatDoesNotFitRejectsAndKeepsTheOldContent) {
    const std::string large(16 * 1024, 'n');
    struct Case {
        const char* method;
        JSValue before, after;
        fs::path file;
        std::string old;
    };
    const Case cases[] = {
        {"writeUserDefaults", test::args({"k", "old value"}), test::args({"k", JSValue(large)}), root() / "prefs" / "k", "old value"},
        {"saveOvpnProfile", test::args({"p", "old config", "c.ovpn"}), test::args({"p", JSValue(large), "c.ovpn"}),
         root() / "profiles" / "p" / "c.ovpn", "old config"},
        {"saveOvpnProfileMeta", test::args({"p", "{\"old\":1}"}), test::args({"p", JSValue(large)}), root() / "profiles" / "p" / "meta.json", "{\"old\":1}"},
        {"saveOvpnAuth", test::args({"p", "old", "pw"}), test::args({"p", JSValue(large), "pw"}), root() / "profiles" / "p" / "auth.txt", "old\npw\n"},
    };
    for (const Case& c : cases) ASSERT_TRUE(host.callAndWait(c.method, c.before).resolved) << c.method;
    ASSERT_NO_FATAL_FAILURE(fill());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        EXPECT_EQ(test::rejectionMessage(host.callAndWait(c.method, c.after)),
                  "Could not write " + c.file.string() + ": No space left on device");
        EXPECT_TRUE(test::fileBytes(c.file) == c.old) << "the old content is gone";
    }
    // No temporary file is left to take up the space.
    EXPECT_EQ(std::distance(fs::directory_iterator(root() / "prefs"), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(root() / "profiles" / "p"), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace varnel
