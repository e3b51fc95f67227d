#include "programpath.h"

#include <QCoreApplication>

#include <filesystem>
#include <system_error>

namespace kamelo::desktop {

std::string runningProgramPath() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return exe.string();
    return QCoreApplication::applicationFilePath().toStdString();
}

} // namespace kamelo::desktop
