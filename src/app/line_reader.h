#pragma once
// Splits a byte stream into lines, refusing to buffer a line without bound.

#include <cstddef>
#include <cstdio>
#include <string>

namespace varnel {

class LineReader {
public:
    enum class Status { Line, TooLong, End };

    LineReader(std::FILE* stream, std::size_t maxLineBytes) : stream_(stream), maxLineBytes_(maxLineBytes) {}

    // Line: line holds the next line without its LF. TooLong: a line longer than the limit was read
    // and dropped. End: the stream has ended (a last line without LF still counts as a line).
    Status next(std::string& line);

private:
    std::FILE* stream_;
    std::size_t maxLineBytes_;
};

}  // namespace varnel
