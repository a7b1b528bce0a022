#include "tunnel/session_record.h"

namespace varnel::tunnel {

void writeSessionRecord(const platform::PathText& file, std::string_view profileId) { platform::writeWholeFile(file, profileId); }

std::string readSessionRecord(const platform::PathText& file) {
    std::string id = platform::readWholeFile(file).value_or(std::string());
    while (!id.empty() && (id.back() == '\r' || id.back() == '\n' || id.back() == ' ')) id.pop_back();
    return id;
}

}  // namespace varnel::tunnel
