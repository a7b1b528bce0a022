#pragma once
// Reading a file "in text mode" the same way on every build: the Windows runtime turns each CR LF
// into LF (a lone CR stays), and its listing reads stop at a Ctrl-Z byte. We do the folding
// ourselves on the file's bytes so that Linux answers exactly as Windows does.

#include <string>
#include <string_view>

namespace varnel::storage {

std::string foldCrLf(std::string_view bytes);
// The text up to, not including, the first Ctrl-Z byte (0x1A).
std::string_view untilCtrlZ(std::string_view bytes);

}  // namespace varnel::storage
