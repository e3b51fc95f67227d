#pragma once

#include "resources/stringtable.h"

#include <QString>

namespace kamelo::res {

// A table text as a QString, for widgets.
inline QString qtext(int id) {
    std::string_view t = text(id);
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

} // namespace kamelo::res
