#include "accelpage.h"

#include "resources/qtstrings.h"

#include <QHeaderView>
#include <QLabel>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kamelo::prefs {

CAccelPage::CAccelPage(const QString& text, const QString& title, QWidget* parent)
    : QWidget(parent), heading_(new QLabel(this)), list_(new QTreeWidget(this)) {
    setWindowTitle(title);
    heading_->setObjectName(QStringLiteral("heading"));
    list_->setObjectName(QStringLiteral("shortcuts"));
    list_->setColumnCount(2);
    list_->setHeaderLabels(
        {res::qtext(res::IDS_ACCEL_KEY_COLUMN), res::qtext(res::IDS_ACCEL_ACTION_COLUMN)});
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setFocusPolicy(Qt::StrongFocus); // the keys scroll it
    list_->setAllColumnsShowFocus(true);

    static const QRegularExpression gap(QStringLiteral("\t|  +"));
    QTreeWidgetItem* section = nullptr;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = new QTreeWidgetItem(list_, {line.mid(1, line.size() - 2)});
            QFont bold = section->font(0);
            bold.setBold(true);
            section->setFont(0, bold);
            section->setFirstColumnSpanned(true);
            section->setExpanded(true);
            continue;
        }
        const QRegularExpressionMatch m = gap.match(line);
        if (!m.hasMatch()) {
            // A line of its own (the list's title) above the columns.
            heading_->setText(
                heading_->text().isEmpty() ? line : heading_->text() + QLatin1Char('\n') + line);
            continue;
        }
        const QStringList row = {line.left(m.capturedStart()).trimmed(),
                                 line.mid(m.capturedEnd()).trimmed()};
        if (section)
            new QTreeWidgetItem(section, row);
        else
            new QTreeWidgetItem(list_, row);
    }
    list_->expandAll();
    // The key column as wide as its longest key, the rest for the text.
    list_->header()->setStretchLastSection(true);
    list_->resizeColumnToContents(0);
    heading_->setVisible(!heading_->text().isEmpty());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(list_, 1);
}

} // namespace kamelo::prefs
