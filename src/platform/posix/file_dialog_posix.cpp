#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_dialog.h"
#include "platform/posix/unique_fd.h"

extern char** environ;

namespace varnel::platform {

namespace {

bool displayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') return true;
    }
    return false;
}

// A filter as zenity takes it: "LABEL | PATTERN". "*.*" is every file on Windows; here that is "*",
// since "*.*" would leave out names without a full stop.
std::string zenityFilter(const FileFilter& filter) {
    return "--file-filter=" + filter.label + " | " + (filter.pattern == "*.*" ? std::string("*") : filter.pattern);
}

// Runs the dialog program, found through PATH, and returns what it wrote to standard output when it
// ended with code 0 (a choice); none when it cannot be started, is cancelled or fails.
std::optional<std::string> runDialog(std::vector<std::string> args) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    const UniqueFd readEnd(fds[0]);
    UniqueFd writeEnd(fds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 1);
    // GTK's warnings are no concern of our callers.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    // Only the dialog may hold the write end now, so that reading ends when the dialog does.
    writeEnd.reset();
    if (error != 0) return std::nullopt;
    std::string output = readToEnd(readEnd);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return output;
}

// zenity's file chooser, run as a program of its own so that the dialog needs no toolkit in our
// process. Without a display, or without zenity, the dialog fails.
class ZenityFileDialog final : public FileDialog {
public:
    std::optional<PathText> chooseFileToOpen(const OpenFileRequest& request) override {
        if (!displayAvailable()) return std::nullopt;
        std::vector<std::string> args = {"zenity", "--file-selection", "--title=" + request.title};
        // A trailing separator makes zenity open the folder rather than preselect a file of that name.
        if (!request.initialDirectory.empty()) args.push_back("--filename=" + request.initialDirectory + "/");
        for (const FileFilter& filter : request.filters) args.push_back(zenityFilter(filter));
        std::optional<std::string> chosen = runDialog(std::move(args));
        if (!chosen) return std::nullopt;
        if (!chosen->empty() && chosen->back() == '\n') chosen->pop_back();
        if (chosen->empty()) return std::nullopt;
        return *chosen;
    }
};

}  // namespace

std::shared_ptr<FileDialog> systemFileDialog() { return std::make_shared<ZenityFileDialog>(); }

PathText applicationsFolder() { return "/usr/bin"; }

}  // namespace varnel::platform
