#pragma once

#include <cstdint>
#include <string>

namespace vela {

// Redirects are followed by hand, and only on the scheme and host of the
// URL first asked for: the content is checked by size and CRC anyway, but a
// list or file has no business on another server. The updater and the photo
// program's update check share the rule.
inline constexpr int64_t kMaxRedirectBody = 64 * 1024; // a redirect's own body, read and dropped
inline constexpr int kMaxRedirects = 5;

// The scheme and host of a URL in lower case, empty when it cannot be read.
std::string schemeAndHost(const std::string& url);

// Whether a redirect from a request whose schemeAndHost() is origin may go
// to next.
bool mayFollowRedirect(const std::string& origin, const char* next);

} // namespace vela
