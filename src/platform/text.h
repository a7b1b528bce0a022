#pragma once
// Conversions between the system's UTF-8 text and the UTF-16 text of the host and the Windows calls.
// Invalid input never fails: an ill-formed UTF-8 sequence or an unpaired surrogate becomes U+FFFD, as
// the Windows code-page conversion (code page 65001, no flags) does.

#include <string>
#include <string_view>

namespace varnel::platform {

std::u16string utf8ToWide(std::string_view utf8);
std::string wideToUtf8(std::u16string_view wide);

// Appends the UTF-8 bytes of one code point; surrogates are the caller's to have replaced.
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace varnel::platform
