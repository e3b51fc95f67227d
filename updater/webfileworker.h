#pragma once

#include "updater/webfiledownload.h"

#include <functional>
#include <memory>

namespace vela {

// Delivers one notice to the window and waits until it has been handled;
// false when the window is gone.
using NoticeSender = std::function<bool(std::function<void(WebFileDownload*)>)>;

// The worker's body: fetches the request with libcurl in 4096-byte blocks
// and sends the block notices. Redirects are followed only to the scheme and
// host of the request's URL; the body is bounded by maxBytes and the whole
// transfer by deadlineMs. `cancelled` is this download's own stop (its
// window went away); the process-wide abort flag is checked too. Returns the
// last notice (completion or failure), for the caller to send once it has
// marked the download finished.
std::function<void(WebFileDownload*)> runWebFileDownload(const WebFileRequest& request,
                                                         const NoticeSender& send,
                                                         const std::atomic<bool>& cancelled);

} // namespace vela
