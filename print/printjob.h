#pragma once

#include "print/core/pagegeometry.h"
#include "print/core/printsettings.h"

#include <QString>

#include <string>
#include <vector>

namespace kamelo {

// What one print run prints: the settings of the dialog and the pictures in
// list order.
struct PrintJob {
    PrintSettings settings;
    std::vector<std::string> files;

    int pageCount(const PageGeometry& page) const;
    // "여러장 찍기" for a sheet, else the first file's name, or "%s외 %d개"
    // when more pictures follow.
    QString title() const;
};

} // namespace kamelo
