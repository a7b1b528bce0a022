// The log classifier on any log text. Its sentence never spans lines, it is empty only for a log with
// nothing but line ends, and neither CR LF line ends nor blank lines change it.

#include "fuzz_check.h"
#include "tunnel/log_classifier.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using varnel::fuzz::require;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string sentence = varnel::tunnel::classifyLogText(text);
    require(sentence.find('\n') == std::string::npos && (sentence.empty() || sentence.back() != '\r'), "the sentence is one line without its end");
    require(sentence.empty() == (text.find_first_not_of("\r\n") == std::string_view::npos), "empty only for a log of line ends");
    // The same log as a Windows editor would save it, with a blank line after every line.
    require(varnel::tunnel::classifyLogText(varnel::fuzz::withLineEnds(text, "\r\n\r\n")) == sentence, "CR LF and blank lines change nothing");
    return 0;
}
