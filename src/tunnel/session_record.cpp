#include "tunnel/session_record.h"

#include <filesystem>

#include "app/runtime.h"

namespace varnel {

void writeSessionRecord(const Runtime& runtime, std::string_view profileId) {
    platform::writeWholeFile(runtime.dataFolder.activeRecordFile(), profileId);
}

std::string readSessionRecord(const Runtime& runtime) {
    std::string id = platform::readWholeFile(runtime.dataFolder.activeRecordFile()).value_or(std::string());
    while (!id.empty() && (id.back() == '\r' || id.back() == '\n' || id.back() == ' ')) id.pop_back();
    return id;
}

void deleteSessionRecord(const Runtime& runtime) {
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(runtime.dataFolder.activeRecordFile()), ignored);
}

}  // namespace varnel
