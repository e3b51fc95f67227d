#pragma once

namespace kamelo {

// SIGTERM, SIGINT and SIGHUP (the session ending, Ctrl+C in a terminal, `kill`)
// close the windows and end the event loop, so that the program saves its
// settings as when the user closes it. Call once, after the QApplication exists.
void endOnTerminationSignals();

} // namespace kamelo
