// The log classifier on any log text.

#include "fuzz_check.h"
#include "tunnel/log_classifier.h"

void varnel::fuzz::fuzzOne(std::string_view text) {
    const std::string sentence = tunnel::classifyLogText(text);
    require(sentence.find('\n') == std::string::npos && (sentence.empty() || sentence.back() != '\r'), "the sentence is one line without its end");
    require(sentence.empty() == (text.find_first_not_of("\r\n") == std::string_view::npos), "empty only for a log of line ends");
    require(tunnel::classifyLogText(withLineEnds(text, "\r\n\r\n")) == sentence, "CR LF and blank lines change nothing");
}
