#include "printjob.h"

#include "print/core/printlayout.h"
#include "resources/qtstrings.h"

#include <filesystem>

namespace kamelo {

int PrintJob::pageCount(const PageGeometry& page) const {
    return PrintLayout(settings, page).pageCount(static_cast<int>(files.size()));
}

QString PrintJob::title() const {
    if (settings.sheet())
        return res::qtext(res::IDS_PRINT_MULTIPLE);
    if (files.empty())
        return {};
    const std::string name = std::filesystem::path(files.front()).filename().string();
    if (files.size() == 1)
        return QString::fromStdString(name);
    return QString::fromStdString(
        res::format(res::IDS_FILES_AND_MORE, name.c_str(), static_cast<int>(files.size() - 1)));
}

} // namespace kamelo
