#pragma once
// The nftables scripts of the kill switch. Everything lives in the one table "inet varnel"; other
// tables are never named. A new block replaces the old one by flushing and refilling the table's
// chains in the same transaction, so the table and its drop policies never go away in between.

#include <string>

#include "service/command.h"

namespace varnel::service {

inline constexpr const char* kTableFamily = "inet";
inline constexpr const char* kTableName = "varnel";

// One transaction: creates the table and chains when missing, empties them and fills them with
// what the command allows. Each rule's comment says what it lets through, which --status reads back.
std::string enableScript(const EnableCommand& command);
// Deletes the table; a table that is not there is no error (it is added first in the same
// transaction).
std::string disableScript();
// Lists the table if it is there: "list tables" first, so an absent table is not an error.
std::string listTablesScript();
std::string listTableScript();

// The comment of the rule that lets the server through, e.g. "server 192.0.2.1 udp port 1194".
std::string serverComment(const std::string& address, Transport transport, unsigned port);

}  // namespace varnel::service
