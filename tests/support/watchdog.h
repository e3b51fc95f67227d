#pragma once

#include <unistd.h>

namespace kamelo::test {

// Turns a hang into a failing test: SIGALRM ends the process after the
// given seconds unless the scope ends first.
struct Watchdog {
    explicit Watchdog(unsigned seconds) { ::alarm(seconds); }
    ~Watchdog() { ::alarm(0); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
};

} // namespace kamelo::test
