#include <windows.h>
#include <commdlg.h>
#include <ole2.h>

#include "platform/file_dialog.h"
#include "platform/text.h"

namespace varnel::platform {

namespace {

static_assert(sizeof(OPENFILENAMEW) == 152);

std::wstring wide(const std::string& utf8) {
    const std::u16string units = utf8ToWide(utf8);
    return std::wstring(units.begin(), units.end());
}

// Pairs of display text and pattern, each ended by a NUL, the list by one more.
std::wstring filterList(const std::vector<FileFilter>& filters) {
    std::wstring list;
    for (const FileFilter& f : filters) {
        list += wide(f.label);
        list += L'\0';
        list += wide(f.pattern);
        list += L'\0';
    }
    list += L'\0';
    return list;
}

class CommonFileDialog final : public FileDialog {
public:
    std::optional<PathText> chooseFileToOpen(const OpenFileRequest& request) override {
        const std::wstring filter = filterList(request.filters);
        const std::wstring title = wide(request.title);
        wchar_t file[260] = {};
        OPENFILENAMEW record{};
        record.lStructSize = sizeof record;
        record.hwndOwner = nullptr;
        record.lpstrFilter = filter.c_str();
        record.nFilterIndex = 0;
        record.lpstrFile = file;
        record.nMaxFile = 260;
        record.lpstrInitialDir = request.initialDirectory.empty() ? nullptr : request.initialDirectory.c_str();
        record.lpstrTitle = title.c_str();
        record.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;

        // Each dialog gets its own apartment on its own worker thread; the result is not examined.
        OleInitialize(nullptr);
        const BOOL chosen = GetOpenFileNameW(&record);
        OleUninitialize();
        if (!chosen) return std::nullopt;
        std::size_t length = 0;
        while (length < 260 && file[length] != L'\0') ++length;
        return PathText(file, length);
    }
};

}  // namespace

std::shared_ptr<FileDialog> systemFileDialog() { return std::make_shared<CommonFileDialog>(); }

PathText applicationsFolder() { return L"C:\\Program Files"; }

}  // namespace varnel::platform
