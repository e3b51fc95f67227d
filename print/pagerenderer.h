#pragma once

#include "print/core/printlayout.h"
#include "print/printjob.h"

#include <QPoint>

#include <functional>
#include <string>
#include <vector>

class QPainter;

namespace kamelo {

class PictureReader;

// One drawing path for the preview, PDF files and printers: a page of a job
// painted in device pixels, the printable area's corner at origin.
class PageRenderer {
public:
    struct Result {
        std::vector<std::string> failed; // pictures that could not be read
        bool cancelled = false;
    };
    // cancelled is asked between pictures; when it says yes the page is left
    // as it is.
    static Result render(QPainter& painter, const PrintJob& job, const PageGeometry& page,
                         int pageNumber, const DeviceMapping& map, QPoint origin,
                         PictureReader& reader, const std::function<bool()>& cancelled = {});
};

} // namespace kamelo
