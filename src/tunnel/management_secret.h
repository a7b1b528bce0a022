#pragma once
// The management interface's password: a fresh random secret for each launch of OpenVPN, kept in a
// file only its owner may read, so that no other local user can drive the root OpenVPN through its
// port, and a restarted system (the file's owner) can still reach the tunnel it left running.

#include <string>

#include "platform/files.h"

namespace varnel::tunnel {

// 32 hexadecimal digits from the system's random source.
std::string newManagementSecret();
// OpenVPN takes the file's first line as the password. False when the file cannot be written.
bool writeManagementSecret(const platform::PathText& file, const std::string& secret);
// The secret again; empty when there is none.
std::string readManagementSecret(const platform::PathText& file);

}  // namespace varnel::tunnel
