#include "programicon.h"

#include <QString>

namespace kamelo {

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/appicon/kamelo-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace kamelo
