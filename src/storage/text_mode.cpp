#include "storage/text_mode.h"

namespace varnel::storage {

std::string foldCrLf(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text += bytes[i];
    }
    return text;
}

std::string_view untilCtrlZ(std::string_view bytes) { return bytes.substr(0, bytes.find('\x1A')); }

}  // namespace varnel::storage
