#pragma once

#include <string>

// GLib's headers use "signals" as a field name, which Qt defines away.
#undef signals
#include <gio/gio.h>

namespace kamelo::desktop {

// The session bus for the desktop's services. Every call is bounded by a
// timeout so that a hung service cannot freeze the program.
class SessionBus {
public:
    static constexpr int kQuickMs = 3000;
    static constexpr int kSlowMs = 30000;

    // The shared connection, or null (the error says why).
    static GDBusConnection* connection(std::string& error);
    // Whether some process owns the name right now.
    static bool hasOwner(const char* name);
    // A method call with its reply, or null with the error; the caller
    // unrefs the reply.
    static GVariant* call(const char* service, const char* path, const char* interface,
                          const char* method, GVariant* parameters, const char* replyType,
                          int timeoutMs, std::string& error);
};

} // namespace kamelo::desktop
