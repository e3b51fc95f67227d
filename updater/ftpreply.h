#pragma once

#include "updater/klib/ksockmsgque.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vela {

// Reading the FTP server's control replies.

// Removes the first line and its "\r\n" from the queue; nothing (and the
// queue unchanged) while no "\r\n" has arrived.
std::optional<std::string> takeReplyLine(KSockMsgQue& queue);

// The reply class: the first character minus "0" (0 for an empty line).
int replyClass(std::string_view line);

struct PassiveAddress {
    std::string address; // "%d.%d.%d.%d"
    int port = 0;
};
// The data address of a passive-mode reply "227 ... (h1,h2,h3,h4,p1,p2)";
// nothing when the parentheses are missing or do not hold six numbers that
// make an address and a port.
std::optional<PassiveAddress> parsePassiveReply(std::string_view line);

// The size announced by a transfer reply "150 ... (12345 bytes)": the
// integer after the first "(", or nothing without one. Values beyond 32 bits
// are clamped.
std::optional<int32_t> parseTransferSize(std::string_view line);

} // namespace vela

namespace vela {

// True for the last line of a reply ("226 Done", "230"): three digits and a
// blank or nothing. The lines before it in a multi-line reply ("220-Hello")
// are only information and must not move the login or the transfer along.
bool isFinalReplyLine(std::string_view line);

} // namespace vela
