#include "updater/updaterfuzz.h"

#include "updater/ftpreply.h"
#include "updater/profile.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace kamelo::fuzz {

namespace {

// A broken invariant is a finding: stop loudly.
void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

int ini(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    vela::ProfileFile profile(bytes);
    const uint32_t count = profile.integer("GENERAL", "FILE_COUNT", 0);
    for (uint32_t i = 1; i <= count && i <= 64; ++i) {
        const std::string section = "FILE_" + std::to_string(i);
        for (const char* key : {"PATHNAME", "FILEVER", "UPDATETYPE", "SUBFOLDER", "COMPRESSTYPE"})
            check(profile.text(section, key).size() <= vela::ProfileFile::kMaxTextBytes);
        profile.integer(section, "FILESIZE", 0);
        profile.integer(section, "FILECRC", 0);
    }
    check(profile.text("general", "dest_path", "x").size() <= vela::ProfileFile::kMaxTextBytes);
    return 0;
}

int ftpreply(const uint8_t* data, size_t size) {
    vela::KSockMsgQue queue;
    // Arrives in two notices, split in the middle.
    queue.push(data, static_cast<uint32_t>(size / 2));
    queue.push(data + size / 2, static_cast<uint32_t>(size - size / 2));
    const uint32_t total = queue.size();
    uint32_t taken = 0;
    while (auto line = vela::takeReplyLine(queue)) {
        taken += static_cast<uint32_t>(line->size() + 2);
        vela::replyClass(*line);
        vela::isFinalReplyLine(*line);
        if (auto passive = vela::parsePassiveReply(*line))
            check(passive->port > 0 && passive->port <= 65535 && passive->address.size() <= 15);
        vela::parseTransferSize(*line);
    }
    check(taken + queue.size() == total);
    return 0;
}

} // namespace kamelo::fuzz
