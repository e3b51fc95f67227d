#pragma once

#include "exif/core/exifrows.h"

#include <QTableWidget>

namespace kamelo {

// The report list of the camera information: columns "속성" and "값" with
// grid lines, the 21 labels always there, the values filled per file.
class ExifList : public QTableWidget {
    Q_OBJECT
public:
    explicit ExifList(QWidget* parent = nullptr);

    void setRows(const std::vector<ExifRow>& rows);
    void showFile(const QString& path);
    void clearValues();
    QString valueAt(int row) const;
};

} // namespace kamelo
