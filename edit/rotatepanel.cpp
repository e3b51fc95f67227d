#include "rotatepanel.h"

#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "batchhandover.h"
#include "exif/core/jpegsectionreader.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"
#include "rotateicons.h"
#include "rotateops.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kamelo::edit {

namespace {
constexpr const char* kRadioSection = "general";
constexpr const char* kRadioKey = "Rotate Radio Button";

RotateCode codeOf(const std::any& record) {
    if (const RotateCode* c = std::any_cast<RotateCode>(&record))
        return *c;
    return RotateCode::None;
}

struct ButtonText {
    RotateCode code;
    int textId;
    const char* name;
};
const ButtonText kButtons[] = {
    {RotateCode::Left, res::IDS_ROTATE_LEFT_90, "rotateLeft"},
    {RotateCode::HalfTurn, res::IDS_ROTATE_180, "rotate180"},
    {RotateCode::Right, res::IDS_ROTATE_RIGHT_90, "rotateRight"},
    {RotateCode::Auto, res::IDS_ROTATE_AUTO, "rotateAuto"},
    {RotateCode::MirrorLeftRight, res::IDS_FLIP_HORIZONTAL, "mirrorLeftRight"},
    {RotateCode::MirrorTopBottom, res::IDS_FLIP_VERTICAL, "mirrorTopBottom"},
    {RotateCode::RightDiagonal, res::IDS_FLIP_RIGHT_DIAGONAL, "rightDiagonal"},
    {RotateCode::LeftDiagonal, res::IDS_FLIP_LEFT_DIAGONAL, "leftDiagonal"},
};

QToolButton* toolButton(QWidget* parent, const QString& text, const QIcon& icon, const char* name) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setIcon(icon);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setMinimumWidth(150);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return b;
}
} // namespace

RotatePanel::RotatePanel(const EditContext& context, QWidget* parent)
    : EditToolPanel(context, parent) {
    setObjectName(QStringLiteral("RotatePanel"));
    auto* layout = new QVBoxLayout(this);
    auto* help = new QLabel(this);
    help->setObjectName(QStringLiteral("help"));
    layout->addWidget(help);
    for (const ButtonText& b : kButtons) {
        QToolButton* button =
            toolButton(this, res::qtext(b.textId), RotateIcons::forCode(b.code), b.name);
        buttons_[int(b.code)] = button;
        layout->addWidget(button);
        const RotateCode code = b.code;
        connect(button, &QToolButton::clicked, this,
                [this, code] { code == RotateCode::Auto ? autoTurn() : press(code); });
    }
    original_ = toolButton(this, res::qtext(res::IDS_ROTATE_ORIGINAL), RotateIcons::original(),
                           "rotateOriginal");
    layout->addWidget(original_);
    connect(original_, &QToolButton::clicked, this, &RotatePanel::original);

    if (batchMode()) {
        const BatchHandOver& h = *context_.handOver;
        records_ = h.records();
        records_.resize(h.paths().size(), std::any(RotateCode::None));
        help->setText(
            QString::fromUtf8(res::format(res::IDS_N_PICTURES_SELECTED, int(h.paths().size()))));
        previous_ = new QPushButton(res::qtext(res::IDS_PREV_PICTURE_BUTTON), this);
        previous_->setObjectName(QStringLiteral("previous"));
        next_ = new QPushButton(res::qtext(res::IDS_NEXT_PICTURE_BUTTON), this);
        next_->setObjectName(QStringLiteral("next"));
        auto* nav = new QHBoxLayout;
        nav->addWidget(previous_);
        nav->addWidget(next_);
        layout->addLayout(nav);
        applyToAll_ = new QCheckBox(res::qtext(res::IDS_APPLY_TO_ALL), this);
        applyToAll_->setObjectName(QStringLiteral("applyToAll"));
        layout->addWidget(applyToAll_);
        auto* group = new QGroupBox(this);
        overwrite_ = new QRadioButton(res::qtext(res::IDS_SAVE_OVERWRITE), group);
        overwrite_->setObjectName(QStringLiteral("overwrite"));
        toFolder_ = new QRadioButton(res::qtext(res::IDS_SAVE_OTHER_FOLDER), group);
        toFolder_->setObjectName(QStringLiteral("toFolder"));
        folder_ = new QLineEdit(group);
        folder_->setObjectName(QStringLiteral("folder"));
        browse_ = new QPushButton(QStringLiteral("..."), group);
        browse_->setObjectName(QStringLiteral("browse"));
        browse_->setMaximumWidth(32);
        auto* g = new QGridLayout(group);
        g->addWidget(overwrite_, 0, 0, 1, 2);
        g->addWidget(toFolder_, 1, 0, 1, 2);
        g->addWidget(folder_, 2, 0);
        g->addWidget(browse_, 2, 1);
        layout->addWidget(group);
        const int mode = context_.store ? context_.store->getInt(kRadioSection, kRadioKey, 0) : 0;
        (mode == 1 ? toFolder_ : overwrite_)->setChecked(true);
        const QString first =
            h.paths().empty() ? QString() : QString::fromStdString(h.paths().front());
        folder_->setText(QFileInfo(first).absolutePath() + QStringLiteral("/rotated"));
        connect(previous_, &QPushButton::clicked, this, [this] { step(-1); });
        connect(next_, &QPushButton::clicked, this, [this] { step(1); });
        connect(applyToAll_, &QCheckBox::toggled, this, &RotatePanel::updateEnabling);
        connect(browse_, &QPushButton::clicked, this, [this] {
            const QString chosen = QFileDialog::getExistingDirectory(
                this, res::qtext(res::IDS_CONVERTED_FOLDER_PROMPT), folder_->text(),
                QFileDialog::ShowDirsOnly);
            if (!chosen.isEmpty())
                folder_->setText(chosen);
        });
        if (context_.doc)
            base_ = context_.doc->displayed();
        code_ = records_.empty() ? RotateCode::None : codeOf(records_.front());
        if (code_ != RotateCode::None)
            showPreview();
        if (!h.paths().empty()) {
            caption_ = QString::fromUtf8(
                           res::format(res::IDS_ROTATE_BATCH_CAPTION, 1, int(h.paths().size()))) +
                       first;
        }
    } else {
        help->setText(res::qtext(res::IDS_ONE_PICTURE_SELECTED));
    }
    ok_ = new QPushButton(res::qtext(res::IDS_OK), this);
    ok_->setObjectName(QStringLiteral("ok"));
    auto* cancel = new QPushButton(res::qtext(res::IDS_CANCEL), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok_);
    row->addWidget(cancel);
    layout->addLayout(row);
    layout->addStretch();
    connect(ok_, &QPushButton::clicked, this, &RotatePanel::ok);
    connect(cancel, &QPushButton::clicked, this, [this] { this->cancel(); });
    updateEnabling();
}

QToolButton* RotatePanel::button(RotateCode code) const {
    const int i = int(code);
    return i > 0 && i < RotateRules::kCodeCount ? buttons_[i] : nullptr;
}

std::string RotatePanel::currentPath() const {
    if (batchMode()) {
        const auto& paths = context_.handOver->paths();
        return index_ >= 0 && size_t(index_) < paths.size() ? paths[size_t(index_)] : std::string();
    }
    return context_.doc ? context_.doc->list().currentPath() : std::string();
}

void RotatePanel::notify(const QString& text) {
    notice_ = text;
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* frame = qobject_cast<QMainWindow*>(w)) {
            frame->statusBar()->showMessage(text, 5000);
            return;
        }
}

void RotatePanel::press(RotateCode code) {
    if (!context_.doc || !context_.doc->displayed().isAllocated())
        return;
    if (batchMode()) {
        // One code per file: the preview is the loaded picture with it.
        code_ = code;
        showPreview();
        return;
    }
    const ViewState before = viewState();
    const std::optional<imaging::PlaneTurn> fromFile = fileTurn();
    if (RotateOps::applyCode(context_.doc->displayed(), code) < 1)
        return;
    noteTurn(fromFile, RotateOps::turnFor(code));
    code_ = code;
    beforeLast_ = before;
    if (context_.view)
        context_.view->setModified(true);
    emit previewChanged();
}

RotatePanel::ViewState RotatePanel::viewState() const {
    if (!context_.view)
        return {};
    return {context_.view->isModified(), context_.view->orientationMark()};
}

int RotatePanel::fileOrientation(const std::string& path) {
    // Regular files only, and never wait on one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        QMessageBox::warning(this, res::qtext(res::IDS_ROTATE_TOOL),
                             res::qtext(res::IDS_MSG_CANNOT_OPEN_FILE));
        return 0;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return 0;
    }
    JpegSectionReader reader;
    reader.readSections(file);
    std::fclose(file);
    const int o = reader.info().orientation;
    return o >= 1 && o <= 8 ? o : 1;
}

void RotatePanel::autoTurn() {
    if (!context_.doc || !context_.doc->displayed().isAllocated())
        return;
    if (batchMode()) {
        if (code_ == RotateCode::Auto)
            return;
        code_ = RotateCode::Auto;
        // The run turns each file by its own tag; the viewer keeps no mark.
        if (context_.view)
            context_.view->setOrientationMark(false);
        showPreview();
        return;
    }
    if (context_.view && context_.view->orientationMark()) {
        notify(res::qtext(res::IDS_ROTATE_ALREADY_UPRIGHT));
        return;
    }
    if (picturesUpright()) {
        // The reader turned the picture by its tag as it loaded it.
        notify(res::qtext(res::IDS_ROTATE_ALREADY_UPRIGHT));
        return;
    }
    const int orientation = fileOrientation(currentPath());
    if (orientation == 0)
        return;
    const ViewState before = viewState();
    const std::optional<imaging::PlaneTurn> fromFile = fileTurn();
    bool turned = false;
    if (RotateOps::autoTurn(context_.doc->displayed(), orientation, &turned) < 1 || !turned) {
        notify(res::qtext(res::IDS_ROTATE_NOTHING_TO_TURN));
        return;
    }
    noteTurn(fromFile, imaging::PlaneTurn(false, RotateRules::autoTurn(orientation) / 9000));
    code_ = RotateRules::codeAfterAutoTurn(orientation);
    beforeLast_ = before;
    if (context_.view) {
        context_.view->setOrientationMark(true);
        context_.view->setModified(true);
    }
    emit previewChanged();
}

std::optional<imaging::PlaneTurn> RotatePanel::fileTurn() const {
    if (!context_.view || !context_.doc)
        return std::nullopt;
    imaging::TurnTrack& track = context_.view->turnTrack();
    if (!context_.view->isModified()) {
        // The picture as its file was read: turned upright by its EXIF
        // orientation when the viewer does that.
        const imaging::PlaneTurn loaded =
            picturesUpright()
                ? imaging::PlaneTurn::upright(imaging::Orientation::read(currentPath()))
                : imaging::PlaneTurn();
        track.note(context_.doc->displayed(), loaded);
        return loaded;
    }
    return track.turnOf(context_.doc->displayed());
}

void RotatePanel::noteTurn(std::optional<imaging::PlaneTurn> fromFile, imaging::PlaneTurn turn) {
    if (fromFile && context_.view && context_.doc)
        context_.view->turnTrack().note(context_.doc->displayed(), fromFile->then(turn));
}

void RotatePanel::original() {
    if (!context_.doc || !context_.doc->displayed().isAllocated())
        return;
    if (batchMode()) {
        code_ = RotateCode::None;
        showPreview();
        return;
    }
    // Only the last operation is taken back, and with it the modified flag
    // and orientation mark it set: a picture turned back by "자동 회전"
    // must not be saved as upright, nor asked about as changed.
    if (RotateOps::undoCode(context_.doc->displayed(), code_) >= 1 &&
        !RotateRules::steps(code_).empty()) {
        if (context_.view) {
            context_.view->setModified(beforeLast_.modified);
            context_.view->setOrientationMark(beforeLast_.orientationMark);
        }
        emit previewChanged();
    }
    code_ = RotateCode::None;
}

void RotatePanel::showPreview() {
    if (!context_.doc || !base_.isAllocated())
        return;
    imaging::Bitmap preview = base_;
    if (code_ == RotateCode::Auto) {
        if (!picturesUpright())
            RotateOps::autoTurn(preview, imaging::Orientation::read(currentPath()));
    } else {
        RotateOps::applyCode(preview, code_);
    }
    context_.doc->displayed() = std::move(preview);
    emit previewChanged();
}

void RotatePanel::step(int delta) {
    if (!batchMode())
        return;
    const auto& paths = context_.handOver->paths();
    const int target = index_ + delta;
    if (target < 0 || size_t(target) >= paths.size())
        return;
    records_[size_t(index_)] = code_;
    index_ = target;
    caption_ = QString::fromUtf8(
                   res::format(res::IDS_ROTATE_BATCH_CAPTION, index_ + 1, int(paths.size()))) +
               QString::fromStdString(paths[size_t(index_)]);
    code_ = codeOf(records_[size_t(index_)]);
    updateEnabling();
    emit captionChanged(caption_);
    imaging::Bitmap loaded;
    const PictureSource source = PictureSource::of(paths[size_t(index_)]);
    if (imaging::PictureFile::load(paths[size_t(index_)], loaded) < 1) {
        // The index has moved; the preview keeps the previous picture.
        QMessageBox::warning(this, res::qtext(res::IDS_ROTATE_TOOL),
                             res::qtext(res::IDS_MSG_CANNOT_LOAD_PICTURE));
        return;
    }
    if (picturesUpright()) {
        const int o = imaging::Orientation::read(paths[size_t(index_)]);
        if (o != imaging::Orientation::kUpright)
            imaging::Orientation::makeUpright(loaded, o);
    }
    base_ = std::move(loaded);
    if (context_.doc) {
        context_.doc->displayed() = base_;
        context_.doc->setSource(source);
        showPreview();
    }
}

void RotatePanel::updateEnabling() {
    if (!batchMode())
        return;
    const RotateNavigation n =
        RotateNavigation::at(index_, int(records_.size()), applyToAll_->isChecked());
    previous_->setEnabled(n.previous);
    next_->setEnabled(n.next);
    ok_->setEnabled(n.ok);
}

void RotatePanel::ok() {
    if (!batchMode()) {
        emit finished();
        return;
    }
    if (!ok_->isEnabled())
        return;
    const DestinationMode mode =
        toFolder_->isChecked() ? DestinationMode::Folder : DestinationMode::Overwrite;
    if (context_.store)
        context_.store->setInt(kRadioSection, kRadioKey, int(mode));
    records_[size_t(index_)] = code_;
    if (applyToAll_->isChecked())
        for (std::any& r : records_)
            r = code_;
    // The run may close the viewer, and this panel with it.
    QPointer<RotatePanel> self(this);
    context_.handOver->confirm(records_, mode, folder_->text().toStdString());
    if (self)
        emit handedOver();
}

} // namespace kamelo::edit
