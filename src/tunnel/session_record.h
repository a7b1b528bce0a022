#pragma once
// active.txt: the profile id of the running session, so that a restarted system finds it again.

#include <string>
#include <string_view>

#include "platform/files.h"

namespace varnel::tunnel {

// Every failure is swallowed: the connection goes on without a record.
void writeSessionRecord(const platform::PathText& file, std::string_view profileId);
// The recorded id without trailing CR, LF and spaces; empty when there is no record.
std::string readSessionRecord(const platform::PathText& file);

}  // namespace varnel::tunnel
