#pragma once
// active.txt: the profile id of the running session, so that a restarted system finds it again.

#include <string>
#include <string_view>

namespace varnel {

struct Runtime;

// Every failure is swallowed: the connection goes on without a record.
void writeSessionRecord(const Runtime& runtime, std::string_view profileId);
// The recorded id without trailing CR, LF and spaces; empty when there is no record.
std::string readSessionRecord(const Runtime& runtime);
void deleteSessionRecord(const Runtime& runtime);

}  // namespace varnel
