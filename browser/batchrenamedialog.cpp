#include "batchrenamedialog.h"

#include "browser/core/filedatetaken.h"
#include "browser/core/renamejournal.h"
#include "browser/core/renameproblemtext.h"
#include "chrome/fileui.h"
#include "listfileactions.h"
#include "platform/core/staletemporaries.h"
#include "platform/fileerrortext.h"
#include "renamepreviewmodel.h"
#include "resources/qtstrings.h"
#include "thumblistctrl.h"

#include <QAccessible>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeView>
#include <QVBoxLayout>
#include <QValidator>

#include <functional>
#include <set>

namespace kamelo {

namespace {

// Leaves out the characters no file name may hold, typed or pasted alike: a
// typed one changes nothing, a paste keeps the rest. Which ones were left
// out is told to the dialog.
class NameTextValidator : public QValidator {
public:
    NameTextValidator(std::function<void(const QString&)> dropped, QObject* parent)
        : QValidator(parent), dropped_(std::move(dropped)) {}
    State validate(QString& input, int& pos) const override {
        QString kept, left;
        int keptPos = pos;
        for (qsizetype i = 0; i < input.size(); ++i) {
            const QChar c = input[i];
            if (c.unicode() >= 0x80 ||
                RenamePattern::isAllowedText(std::string(1, char(c.unicode())))) {
                kept += c;
                continue;
            }
            if (i < pos)
                --keptPos;
            const QString shown =
                c.unicode() < 0x20 || c.unicode() == 0x7f
                    ? QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0'))
                    : QString(c);
            if (!left.split(QLatin1Char(' ')).contains(shown))
                left += (left.isEmpty() ? QString() : QStringLiteral(" ")) + shown;
        }
        if (!left.isEmpty()) {
            input = kept;
            pos = keptPos;
            if (dropped_)
                dropped_(left);
        }
        return Acceptable;
    }

private:
    std::function<void(const QString&)> dropped_;
};

// The list of names: a keystroke changes the whole second column, and all
// it takes then is to paint the rows shown again (Qt's answer to a change
// of many rows visits each of them, a hundred thousand here). Rows are of
// one height and hold no editor, so nothing else depends on their data.
class PreviewList : public QTreeView {
public:
    using QTreeView::QTreeView;

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles) override {
        if (topLeft.row() == bottomRight.row()) {
            QTreeView::dataChanged(topLeft, bottomRight, roles);
            return;
        }
        viewport()->update();
        if (QAccessible::isActive()) {
            QAccessibleTableModelChangeEvent event(this,
                                                   QAccessibleTableModelChangeEvent::DataChanged);
            event.setFirstRow(topLeft.row());
            event.setFirstColumn(topLeft.column());
            event.setLastRow(bottomRight.row());
            event.setLastColumn(bottomRight.column());
            QAccessible::updateAccessibility(&event);
        }
    }
};

QLineEdit* field(const char* name, QValidator* validator, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setValidator(validator);
    return e;
}

} // namespace

BatchRenameDialog::BatchRenameDialog(std::vector<Item> items, FileUi& ui, QWidget* parent)
    : QDialog(parent), ui_(ui) {
    setWindowTitle(res::qtext(res::IDS_BATCH_RENAME_CAPTION));
    setObjectName(QStringLiteral("BatchRenameDialog"));
    dates_.reserve(items.size());
    datesRead_.reserve(items.size());
    for (const Item& item : items) {
        dates_.push_back(item.dateTaken);
        datesRead_.push_back(item.dateTaken.has_value());
    }
    // The folders as first read: each keystroke is checked against them.
    snapshot_ = std::make_unique<RenameSnapshot>();
    std::string path;
    sources_ = std::make_shared<const RenameSources>(
        items.size(),
        [&](size_t i) {
            path = items[i].path.toStdString();
            return std::string_view(path);
        },
        *snapshot_);
    items = {};

    const QString maxDigits = QString::number(RenamePattern::kMaxDigits);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("renameNote"));
    note_->setWordWrap(true);
    note_->hide();
    prefix_ =
        field("prefix",
              new NameTextValidator([this](const QString& c) { dropped(prefix_, c); }, this), this);
    mask_ = field("serial",
                  new QRegularExpressionValidator(
                      QRegularExpression(QStringLiteral("#{0,%1}").arg(maxDigits)), this),
                  this);
    mask_->setText(QStringLiteral("##"));
    start_ = field("start",
                   new QRegularExpressionValidator(
                       QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(maxDigits)), this),
                   this);
    start_->setText(QStringLiteral("0"));
    dateFormat_ = new QComboBox(this);
    dateFormat_->setObjectName(QStringLiteral("dateFormat"));
    for (int i = 0; i < RenamePattern::kDateFormatCount; ++i)
        dateFormat_->addItem(QString::fromLatin1(RenamePattern::dateFormatName(i)));
    dateFormat_->setCurrentIndex(-1);
    suffix_ =
        field("suffix",
              new NameTextValidator([this](const QString& c) { dropped(suffix_, c); }, this), this);

    model_ = new RenamePreviewModel(this);
    view_ = new PreviewList(this);
    view_->setObjectName(QStringLiteral("renameList"));
    view_->setRootIsDecorated(false);
    view_->setUniformRowHeights(true);
    view_->setSelectionMode(QAbstractItemView::NoSelection);
    view_->setModel(model_);
    view_->header()->setStretchLastSection(false);
    view_->setColumnWidth(0, 150);
    view_->setColumnWidth(1, 250);
    view_->setMinimumWidth(150 + 250 + 30);

    auto* grid = new QGridLayout;
    auto label = [this](int id, QWidget* buddy) {
        auto* l = new QLabel(res::qtext(id), this);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(label(res::IDS_RENAME_PREFIX, prefix_), 0, 0);
    grid->addWidget(prefix_, 0, 1);
    grid->addWidget(label(res::IDS_RENAME_SERIAL, mask_), 0, 2);
    grid->addWidget(mask_, 0, 3);
    grid->addWidget(label(res::IDS_RENAME_START_NUMBER, start_), 0, 4);
    grid->addWidget(start_, 0, 5);
    grid->addWidget(label(res::IDS_RENAME_EXIF_DATE_FORMAT, dateFormat_), 1, 0);
    grid->addWidget(dateFormat_, 1, 1, 1, 3);
    grid->addWidget(label(res::IDS_RENAME_SUFFIX, suffix_), 1, 4);
    grid->addWidget(suffix_, 1, 5);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(res::qtext(res::IDS_OK), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    buttons->addButton(res::qtext(res::IDS_CANCEL), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &BatchRenameDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &BatchRenameDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(note_);
    layout->addWidget(view_, 1);
    layout->addWidget(buttons);
    setTabOrder(prefix_, mask_);
    setTabOrder(mask_, start_);
    setTabOrder(start_, dateFormat_);
    setTabOrder(dateFormat_, suffix_);
    setTabOrder(suffix_, view_);

    // Every keystroke shows every new name again.
    for (QLineEdit* e : {prefix_, mask_, start_, suffix_})
        connect(e, &QLineEdit::textChanged, this, &BatchRenameDialog::recompute);
    connect(dateFormat_, &QComboBox::currentIndexChanged, this, &BatchRenameDialog::recompute);
    recompute();
    prefix_->setFocus();
}

BatchRenameDialog::~BatchRenameDialog() = default;

std::vector<BatchRenameDialog::Item>
BatchRenameDialog::selectedPictures(const CThumbListCtrl& list) {
    std::vector<Item> items;
    for (int i : list.selectedIndexes()) {
        const CThumbData* d = list.recordAt(i);
        if (!d || !list.isPictureAt(i))
            continue;
        Item item{QString::fromStdString(d->fullPath), std::nullopt};
        if (d->dateTakenKnown)
            item.dateTaken = d->dateTaken;
        items.push_back(std::move(item));
    }
    return items;
}

void BatchRenameDialog::run(CThumbListCtrl& list, QWidget* parent) {
    std::vector<Item> items = selectedPictures(list);
    if (items.empty())
        return;
    BatchRenameDialog dialog(std::move(items), list.actions()->ui(), parent);
    const int result = dialog.exec();
    if (dialog.stranded())
        list.loadFolder(list.folder(), CThumbListCtrl::Refresh::Quick);
    else if (result == QDialog::Accepted)
        list.applyRenames(dialog.renamed());
}

void BatchRenameDialog::dropped(QLineEdit* field, const QString& characters) {
    const QString note = QString::fromUtf8(
        res::format(res::IDS_RENAME_CHARS_DROPPED, characters.toUtf8().constData()));
    note_->setText(note);
    note_->show();
    if (field)
        field->setToolTip(note);
}

RenamePattern BatchRenameDialog::pattern() const {
    RenamePattern p;
    p.prefix = prefix_->text().toStdString();
    p.maskWidth = int(mask_->text().size());
    RenamePattern::parseStart(start_->text().toStdString(), p.start);
    p.dateFormat = dateFormat_->currentIndex();
    p.suffix = suffix_->text().toStdString();
    return p;
}

void BatchRenameDialog::readMissingDates() {
    bool waiting = false;
    for (size_t i = 0; i < dates_.size(); ++i) {
        if (datesRead_[i])
            continue;
        if (!waiting) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            waiting = true;
        }
        dates_[i] = FileDateTaken::read(std::string(sources_->path(i)));
        datesRead_[i] = true;
    }
    if (waiting)
        QGuiApplication::restoreOverrideCursor();
}

void BatchRenameDialog::recompute() {
    if (!snapshot_) {
        // Read afresh after 확인 read the folders as they were then.
        snapshot_ = std::make_unique<RenameSnapshot>();
        const std::shared_ptr<const RenameSources> was = sources_;
        sources_ = std::make_shared<const RenameSources>(
            was->size(), [&](size_t i) { return was->path(i); }, *snapshot_);
    }
    check(*snapshot_);
}

void BatchRenameDialog::check(const RenameFileSystem& fs) {
    const RenamePattern p = pattern();
    if (p.dateFormat >= 0)
        readMissingDates();
    const RenameSources& sources = *sources_;
    const size_t n = sources.size();
    RenameNames names;
    // About as long as the last check's names: one allocation, no regrowth.
    names.reserve(n, check_ ? check_->names().bytes() + n : 0);
    for (size_t i = 0; i < n; ++i) {
        std::optional<int64_t> date;
        if (i < dates_.size() && dates_[i])
            date = *dates_[i];
        names.addWritten([&](std::string& out) { p.appendName(out, i, sources.name(i), date); });
    }
    check_ = std::make_shared<const RenameCheck>(sources_, std::move(names), fs);
    model_->setCheck(check_); // the shown rows' texts are made when painted
}

void BatchRenameDialog::accept() {
    // The files may have changed since the folders were read: checked and
    // renamed against them as they are now, and read afresh for the
    // preview if the dialog stays.
    snapshot_.reset();
    // A rename of these folders that a kill cut short is undone first.
    std::set<std::string, std::less<>> folders;
    for (size_t i = 0; i < sources_->size(); ++i)
        if (const std::string_view f = sources_->folder(i); !folders.count(f))
            folders.emplace(f);
    for (const std::string& folder : folders) {
        StaleTemporaries::sweepOnce(folder);
        const std::string notice = RenameJournal::notice(folder, RenameJournal::recover(folder));
        if (!notice.empty())
            ui_.error(this, QString::fromStdString(notice));
    }
    RenameFileSystem& local = RenameFileSystem::local();
    {
        const std::shared_ptr<const RenameSources> was = sources_;
        sources_ = std::make_shared<const RenameSources>(
            was->size(), [&](size_t i) { return was->path(i); }, local);
    }
    check(local); // the preview shows the folders as they are now
    const RenamePlan plan(*check_, local);
    if (const int marked = plan.firstProblem(); marked >= 0) {
        ui_.error(this, QString::fromStdString(RenameProblemText::refusal(plan, size_t(marked))));
        return;
    }
    const RenameJournal::Result done = RenameJournal::apply(plan);
    if (done.journalError != 0) {
        ui_.error(this, QString::fromStdString(RenameJournal::refusal(
                            done, FileErrorText::reason(done.journalError).toStdString())));
        recompute();
        return;
    }
    const RenamePlan::Outcome& out = done.outcome;
    if (!out.ok) {
        QString text = FileErrorText::message(
            res::IDS_FAILED_RENAME, QString::fromStdString(plan.rows()[out.row].from), out.error);
        if (out.stranded.empty())
            text += QStringLiteral("\n") + res::qtext(res::IDS_RENAME_ALL_UNDONE);
        for (const auto& [now, was] : out.stranded)
            text += QStringLiteral("\n") +
                    QString::fromUtf8(res::format(res::IDS_RENAME_STRANDED,
                                                  RenamePlan::nameOf(was).c_str(),
                                                  RenamePlan::nameOf(now).c_str()));
        ui_.error(this, text);
        if (!out.stranded.empty()) {
            stranded_ = true;
            QDialog::reject();
        } else {
            recompute();
        }
        return;
    }
    for (const RenamePlan::Row& r : plan.rows())
        if (r.from != r.to)
            renamed_.push_back({QString::fromStdString(r.from), QString::fromStdString(r.to)});
    QDialog::accept();
}

} // namespace kamelo
