#include "saveasdialog.h"

#include "chrome/namemessagebox.h"
#include "edit/filedateproxy.h"
#include "edit/saveasjpegpanel.h"
#include "edit/saveaswriter.h"
#include "imaging/core/savebyextension.h"
#include "imaging/picturesaver.h"
#include "resources/qtstrings.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QStyle>
#include <QTreeView>

#include <algorithm>

namespace kamelo::edit {

namespace {

constexpr auto kDefaultSuffix = "jpg";

// The extension a file of this Qt filter gets when none is typed: that of
// its first pattern, or none for "every file".
QString suffixOf(const QString& filter) {
    const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
    const QString patterns = filter.mid(open + 1).chopped(1);
    const QString first = patterns.section(QLatin1Char(' '), 0, 0);
    if (!first.startsWith(QLatin1String("*.")))
        return {};
    const QString suffix = first.mid(2);
    if (suffix.isEmpty() || suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?')))
        return {};
    return suffix;
}

// The web's formats, offered after the four the string table lists.
const char* const kWebFilters[][2] = {{"WebP 파일 (*.webp)", "*.webp"},
                                      {"AVIF 파일 (*.avif)", "*.avif"}};

} // namespace

QStringList CSaveAsDialog::saveFilters() {
    QStringList filters = qtFilters(res::qtext(res::IDS_SAVE_FILTER));
    // Before "every file", which stays last.
    qsizetype at = filters.size();
    if (at > 0 && suffixOf(filters.last()).isEmpty())
        --at;
    for (const auto& [description, pattern] : kWebFilters)
        filters.insert(at++, QString::fromUtf8(description) + QStringLiteral(" (") +
                                 QString::fromLatin1(pattern) + QLatin1Char(')'));
    return filters;
}

QStringList CSaveAsDialog::qtFilters(const QString& filterText) {
    QStringList filters;
    const QStringList parts = filterText.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        if (description.isEmpty())
            break; // the "||" that ends the list
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        }
        // The description stays as written (the dialog hides the appended
        // patterns); Qt reads the patterns from the last parentheses.
        filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

CSaveAsDialog::CSaveAsDialog(imaging::Bitmap picture, const QString& sourcePath, bool modified,
                             QWidget* parent)
    : QFileDialog(parent), picture_(std::move(picture)),
      sourceProps_(JpegPropertyInfo::read(sourcePath.toStdString())),
      panel_(new SaveAsJpegPanel(this)) {
    setObjectName(QStringLiteral("CSaveAsDialog"));
    setWindowTitle(res::qtext(res::IDS_MENU_SAVE_AS).remove(QStringLiteral("(&A)...")));
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::HideNameFilterDetails);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setSizeGripEnabled(true);
    setDefaultSuffix(QString::fromLatin1(kDefaultSuffix));
    // Korean dates, and columns wide enough for them and the type names.
    setProxyModel(new FileDateProxy(this));
    const QStringList filters = saveFilters();
    setNameFilters(filters);
    selectNameFilter(filters.value(0));

    const QFileInfo source(sourcePath);
    setDirectory(source.absolutePath());
    selectFile(source.completeBaseName());

    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(panel_, grid->rowCount(), 0, 1, grid->columnCount());
    else if (layout())
        layout()->addWidget(panel_);

    panel_->setOriginalSize(!modified && source.isFile() ? source.size() : -1);
    panel_->setEstimator([this](int quality) -> int64_t {
        std::vector<uint8_t> bytes;
        int rc = 0;
        if (chosenFormat_ == imaging::kJpegWriter) {
            rc = writtenProperties().encodeJpeg(picture_, quality, bytes);
        } else {
            const imaging::MetadataCarrier keep = writtenProperties().carrier();
            rc = imaging::PictureSaver::encodeAtQuality(picture_, chosenFormat_, quality, bytes,
                                                        &keep);
        }
        return rc < 1 ? rc : static_cast<int64_t>(bytes.size());
    });

    // The type list's index, not its text: the list shows the descriptions
    // without the patterns added to them.
    if (auto* types = findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        connect(types, &QComboBox::currentIndexChanged, this, &CSaveAsDialog::typeChosen);
    else
        connect(this, &QFileDialog::filterSelected, this,
                [this](const QString& filter) { typeChosen(nameFilters().indexOf(filter)); });
    typeChosen(0);
    if (auto* files = qobject_cast<QFileSystemModel*>(proxyModel()->sourceModel()))
        connect(files, &QFileSystemModel::directoryLoaded, this, &CSaveAsDialog::fitColumns,
                Qt::QueuedConnection);
    connect(proxyModel(), &QAbstractItemModel::rowsInserted, this, &CSaveAsDialog::fitColumns,
            Qt::QueuedConnection);
    if (auto* details = findChild<QAbstractButton*>(QStringLiteral("detailModeButton")))
        connect(details, &QAbstractButton::clicked, this, &CSaveAsDialog::fitColumns,
                Qt::QueuedConnection);
}

void CSaveAsDialog::fitColumns() {
    auto* view = findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!view || !view->model())
        return;
    QHeaderView* header = view->header();
    // A date as wide as any, for the rows not listed yet.
    const int sample = view->fontMetrics().horizontalAdvance(
                           FileDateProxy::dateText(QDateTime(QDate(2000, 12, 28), QTime(22, 58)))) +
                       2 * view->style()->pixelMetric(QStyle::PM_HeaderMargin) + 16;
    for (int column = 1; column < header->count(); ++column) {
        int width = std::max(static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column),
                             header->sectionSizeHint(column));
        if (column == FileDateProxy::kDateColumn)
            width = std::max(width, sample);
        if (header->sectionSize(column) < width)
            header->resizeSection(column, width);
    }
}

CSaveAsDialog::~CSaveAsDialog() = default;

JpegPropertyInfo CSaveAsDialog::writtenProperties() const {
    JpegPropertyInfo props = sourceProps_;
    if (orientationMark_)
        SaveAsWriter::makeUpright(props);
    return props;
}

void CSaveAsDialog::typeChosen(int index) {
    // A name typed without extension gets that of the chosen type.
    const QString suffix = suffixOf(nameFilters().value(index));
    setDefaultSuffix(suffix.isEmpty() ? QString::fromLatin1(kDefaultSuffix) : suffix);
    // JPEG, WebP and AVIF take the panel's quality.
    const int format = index == 0 ? imaging::kJpegWriter
                                  : imaging::saveFormatForExtension(suffix.toStdString(),
                                                                    imaging::SaveTable::Viewer);
    const bool quality = format == imaging::kJpegWriter ||
                         (format != 0 && imaging::PictureSaver::takesQuality(format));
    panel_->setEnabled(quality);
    if (quality && format != chosenFormat_) {
        chosenFormat_ = format;
        if (estimated_)
            panel_->estimate();
    }
}

void CSaveAsDialog::showEvent(QShowEvent* event) {
    QFileDialog::showEvent(event);
    fitColumns();
    if (!estimated_) {
        estimated_ = true;
        panel_->estimate();
    }
}

void CSaveAsDialog::done(int result) {
    if (result != QDialog::Accepted) {
        QFileDialog::done(result);
        return;
    }
    const QString path = selectedFiles().value(0);
    std::string reason;
    const int rc = SaveAsWriter::save(picture_, writtenProperties(), path.toStdString(),
                                      panel_->quality(), reason);
    saveResult_ = rc;
    if (rc < 1) {
        // The dialog stays, so another name, type or folder can be chosen.
        QString message = QString::fromUtf8(
            res::format(res::IDS_FAILED_SAVE, QFileInfo(path).fileName().toUtf8().constData()));
        if (!reason.empty())
            message += QLatin1Char('\n') + QString::fromStdString(reason);
        NameMessageBox::warning(this, res::qtext(res::IDS_APP_TITLE), message);
        return;
    }
    savedPath_ = path;
    orientationMark_ = false;
    QFileDialog::done(result);
}

} // namespace kamelo::edit
