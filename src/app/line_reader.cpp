#include "app/line_reader.h"

namespace varnel {

LineReader::Status LineReader::next(std::string& line) {
    line.clear();
    bool tooLong = false;
    bool sawAny = false;
    for (int c; (c = std::getc(stream_)) != EOF;) {
        sawAny = true;
        if (c == '\n') return tooLong ? Status::TooLong : Status::Line;
        if (tooLong) continue;
        if (line.size() == maxLineBytes_) {
            tooLong = true;
            line.clear();
            line.shrink_to_fit();
            continue;
        }
        line += static_cast<char>(c);
    }
    if (!sawAny) return Status::End;
    return tooLong ? Status::TooLong : Status::Line;
}

}  // namespace varnel
