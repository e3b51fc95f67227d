#pragma once

class QObject;

namespace kamelo {

// KAMELO_TRACE_PAINT=1 also logs, beside the viewer's paints, the moment the
// first window is exposed on screen ("kamelo-map MS WxH", wall clock in
// milliseconds), for the start-up benchmark. Nothing is installed otherwise.
void traceFirstExposure(QObject* application);

} // namespace kamelo
