#include "exiflist.h"

#include "exifreport.h"
#include "resources/qtstrings.h"

#include <QHeaderView>

namespace kamelo {

ExifList::ExifList(QWidget* parent) : QTableWidget(ExifRows::kCount, 0, parent) {
    setObjectName(QStringLiteral("exifList"));
    // Columns from their text: "title, width; title, width".
    const auto columns = ExifRows::columns(std::string(res::text(res::IDS_EXIF_COLUMNS)));
    setColumnCount(int(columns.size()));
    for (int c = 0; c < int(columns.size()); ++c) {
        setHorizontalHeaderItem(
            c, new QTableWidgetItem(QString::fromStdString(columns[size_t(c)].first)));
        setColumnWidth(c, columns[size_t(c)].second);
    }
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setShowGrid(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    const std::vector<std::string> labels = ExifRows::labels();
    for (int r = 0; r < ExifRows::kCount; ++r) {
        setItem(r, 0, new QTableWidgetItem(QString::fromStdString(labels[size_t(r)])));
        setItem(r, 1, new QTableWidgetItem);
    }
}

void ExifList::setRows(const std::vector<ExifRow>& rows) {
    for (int r = 0; r < ExifRows::kCount && r < int(rows.size()); ++r)
        item(r, 1)->setText(QString::fromStdString(rows[size_t(r)].value));
}

void ExifList::showFile(const QString& path) {
    setRows(ExifReport::rows(path.toStdString()));
}

void ExifList::clearValues() {
    for (int r = 0; r < ExifRows::kCount; ++r)
        item(r, 1)->setText(QString());
}

QString ExifList::valueAt(int row) const {
    const QTableWidgetItem* i = item(row, 1);
    return i ? i->text() : QString();
}

} // namespace kamelo
