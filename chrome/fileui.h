#pragma once

#include "platform/core/fileops.h"

#include <QString>

class QWidget;

namespace kamelo {

// The questions and reports of file operations. The program asks with
// Korean message boxes; tests answer in code.
class FileUi {
public:
    virtual ~FileUi() = default;
    virtual bool confirm(QWidget* parent, const QString& text);
    // A file of that name exists at the target: overwrite, skip or stop.
    virtual FileOps::Clash clash(QWidget* parent, const QString& target);
    virtual void error(QWidget* parent, const QString& text);

    // The program's own, shared by every window.
    static FileUi& standard();
};

} // namespace kamelo
