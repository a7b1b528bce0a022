#pragma once
// The open-file dialog, run on the calling thread until the user chooses or cancels.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace varnel::platform {

struct FileFilter {
    std::string label;    // UTF-8, e.g. "All files"
    std::string pattern;  // e.g. "*.exe"; "*.*" means every file
};

struct OpenFileRequest {
    std::string title;  // UTF-8
    std::vector<FileFilter> filters;  // the first one is selected
    PathText initialDirectory;  // empty: the dialog's own choice
};

class FileDialog {
public:
    virtual ~FileDialog() = default;
    // The chosen file's full path; none when the user cancels or the dialog fails.
    virtual std::optional<PathText> chooseFileToOpen(const OpenFileRequest& request) = 0;
};

std::shared_ptr<FileDialog> systemFileDialog();

// Where programs are installed: the folder the application picker starts in.
PathText applicationsFolder();

}  // namespace varnel::platform
