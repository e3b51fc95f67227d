#include "colourpanel.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "batchhandover.h"
#include "histogrambox.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "panelparts.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace kamelo::edit {

namespace {
QString gammaText(double gamma) {
    return QString::asprintf("%.2f", gamma);
}
} // namespace

ColourPanel::ColourPanel(const EditContext& context, QWidget* parent)
    : EditToolPanel(context, parent), view_(context.view) {
    setObjectName(QStringLiteral("ColourPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    if (batchMode())
        buildBatch(layout);
    buildLevels(layout);
    PanelParts::addOkCancel(layout, this, &okButton_, &cancelButton_);
    layout->addStretch(1);
    connect(okButton_, &QPushButton::clicked, this, &ColourPanel::ok);
    connect(cancelButton_, &QPushButton::clicked, this, &ColourPanel::cancel);
    picture_.attach(&context_.doc->displayed());
    channelChosen(0);
    if (batchMode())
        updateBatchButtons();
}

ColourPanel::~ColourPanel() {
    if (view_)
        view_->setStandIn(nullptr);
}

void ColourPanel::buildLevels(QVBoxLayout* layout) {
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(res::qtext(res::IDS_COLOUR_CHANNEL), this));
    channels_ = new QComboBox(this);
    channels_->setObjectName(QStringLiteral("channel"));
    for (int id :
         {res::IDS_LEVELS_RGB, res::IDS_LEVELS_RED, res::IDS_LEVELS_GREEN, res::IDS_LEVELS_BLUE})
        channels_->addItem(res::qtext(id));
    top->addWidget(channels_, 1);
    layout->addLayout(top);
    connect(channels_, &QComboBox::currentIndexChanged, this, &ColourPanel::channelChosen);

    auto* box = new QGroupBox(res::qtext(res::IDS_LEVELS_HISTOGRAM), this);
    auto* boxLayout = new QVBoxLayout(box);
    histogram_ = new HistogramBox(box);
    boxLayout->addWidget(histogram_);
    layout->addWidget(box);
    connect(histogram_, &HistogramBox::markerMoved, this,
            [this](int m, int v) { markerMoved(m, v, false); });
    connect(histogram_, &HistogramBox::markerDropped, this,
            [this](int m, int v) { markerMoved(m, v, true); });

    auto* grid = new QGridLayout;
    const int labels[5] = {res::IDS_LEVELS_INPUT_BLACK, res::IDS_LEVELS_GAMMA,
                           res::IDS_LEVELS_INPUT_WHITE, res::IDS_LEVELS_OUTPUT_BLACK,
                           res::IDS_LEVELS_OUTPUT_WHITE};
    const char* names[5] = {"inBlack", "gamma", "inWhite", "outBlack", "outWhite"};
    for (int i = 0; i < 5; ++i) {
        grid->addWidget(new QLabel(res::qtext(labels[i]), this), i, 0);
        edits_[i] = new QLineEdit(this);
        edits_[i]->setObjectName(QLatin1String(names[i]));
        spins_[i] = new QSpinBox(this);
        spins_[i]->setObjectName(QLatin1String(names[i]) + QLatin1String("Spin"));
        // The spin is the edit's arrows; the number shows in the edit.
        spins_[i]->setFixedWidth(18);
        if (i == Gamma)
            spins_[i]->setRange(10, 1000);
        else
            spins_[i]->setRange(0, 255);
        grid->addWidget(edits_[i], i, 1);
        grid->addWidget(spins_[i], i, 2);
        connect(edits_[i], &QLineEdit::editingFinished, this, [this, i] { commit(i); });
        connect(spins_[i], &QSpinBox::valueChanged, this, [this, i](int v) {
            edits_[i]->setText(i == Gamma ? gammaText(v / 100.0) : QString::number(v));
            commit(i);
        });
    }
    layout->addLayout(grid);

    auto* buttons = new QGridLayout;
    apply_ = new QPushButton(res::qtext(res::IDS_APPLY), this);
    apply_->setObjectName(QStringLiteral("apply"));
    auto* original = new QPushButton(res::qtext(res::IDS_BACK_TO_ORIGINAL), this);
    original->setObjectName(QStringLiteral("original"));
    auto* autoColour = new QPushButton(res::qtext(res::IDS_COLOUR_AUTO_COLOUR), this);
    autoColour->setObjectName(QStringLiteral("autoColour"));
    auto* autoContrast = new QPushButton(res::qtext(res::IDS_COLOUR_AUTO_CONTRAST), this);
    autoContrast->setObjectName(QStringLiteral("autoContrast"));
    auto* grey = new QPushButton(res::qtext(res::IDS_COLOUR_GREY), this);
    grey->setObjectName(QStringLiteral("grey"));
    buttons->addWidget(apply_, 0, 0);
    buttons->addWidget(original, 0, 1);
    buttons->addWidget(autoColour, 1, 0);
    buttons->addWidget(autoContrast, 1, 1);
    buttons->addWidget(grey, 2, 0);
    layout->addLayout(buttons);
    // A batch keeps one record per file: a new base has no place in it.
    apply_->setEnabled(!batchMode());
    connect(apply_, &QPushButton::clicked, this, [this] {
        WaitCursor wait;
        picture_.takeAsBase();
        showSet();
        showChange();
    });
    connect(original, &QPushButton::clicked, this, [this] {
        WaitCursor wait;
        picture_.restore();
        if (batchMode())
            records_[index_] = ColourRecord{};
        showSet();
        showChange();
    });
    connect(autoColour, &QPushButton::clicked, this,
            [this] { runButton(ColourRecord::AutoColour); });
    connect(autoContrast, &QPushButton::clicked, this,
            [this] { runButton(ColourRecord::AutoContrast); });
    connect(grey, &QPushButton::clicked, this, [this] { runButton(ColourRecord::Grey); });
}

void ColourPanel::buildBatch(QVBoxLayout* layout) {
    const BatchHandOver& h = *context_.handOver;
    paths_ = h.paths();
    for (const std::any& r : h.records()) {
        const auto* record = std::any_cast<ColourRecord>(&r);
        records_.push_back(record ? *record : ColourRecord{});
    }
    records_.resize(paths_.size());
    help_ = new QLabel(this);
    help_->setObjectName(QStringLiteral("help"));
    help_->setWordWrap(true);
    help_->setText(paths_.empty() ? res::qtext(res::IDS_MSG_NO_FILE_SELECTED)
                                  : QString::fromUtf8(res::format(res::IDS_N_PICTURES_SELECTED,
                                                                  int(paths_.size()))));
    layout->addWidget(help_);
    auto* nav = new QHBoxLayout;
    previous_ = new QPushButton(res::qtext(res::IDS_PREV_PICTURE_BUTTON), this);
    previous_->setObjectName(QStringLiteral("previous"));
    next_ = new QPushButton(res::qtext(res::IDS_NEXT_PICTURE_BUTTON), this);
    next_->setObjectName(QStringLiteral("next"));
    nav->addWidget(previous_);
    nav->addWidget(next_);
    layout->addLayout(nav);
    connect(previous_, &QPushButton::clicked, this, [this] { step(-1); });
    connect(next_, &QPushButton::clicked, this, [this] { step(1); });
    applyAll_ = new QCheckBox(res::qtext(res::IDS_APPLY_TO_ALL), this);
    applyAll_->setObjectName(QStringLiteral("applyAll"));
    layout->addWidget(applyAll_);
    connect(applyAll_, &QCheckBox::toggled, this, &ColourPanel::updateBatchButtons);

    overwrite_ = new QRadioButton(res::qtext(res::IDS_SAVE_OVERWRITE), this);
    overwrite_->setObjectName(QStringLiteral("overwrite"));
    toFolder_ = new QRadioButton(res::qtext(res::IDS_SAVE_OTHER_FOLDER), this);
    toFolder_->setObjectName(QStringLiteral("toFolder"));
    const int mode = context_.store ? context_.store->getInt(keys::kGeneral, kRadioKey, 0) : 0;
    (mode == 1 ? toFolder_ : overwrite_)->setChecked(true);
    layout->addWidget(overwrite_);
    layout->addWidget(toFolder_);
    auto* folderRow = new QHBoxLayout;
    folder_ = new QLineEdit(this);
    folder_->setObjectName(QStringLiteral("folder"));
    const QString first = paths_.empty() ? QString() : QString::fromStdString(paths_.front());
    folder_->setText(PanelParts::folderOf(first) + QStringLiteral("/output"));
    auto* browse = new QPushButton(res::qtext(res::IDS_EDIT_DESTINATION_BROWSE), this);
    browse->setObjectName(QStringLiteral("browse"));
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(browse);
    layout->addLayout(folderRow);
    connect(browse, &QPushButton::clicked, this, &ColourPanel::chooseFolder);
    const auto folderEnabling = [this, browse] {
        folder_->setEnabled(toFolder_->isChecked());
        browse->setEnabled(toFolder_->isChecked());
    };
    connect(toFolder_, &QRadioButton::toggled, this, folderEnabling);
    folderEnabling();
}

void ColourPanel::chooseFolder() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, res::qtext(res::IDS_COLOUR_FOLDER_PROMPT), folder_->text());
    if (!chosen.isEmpty())
        folder_->setText(chosen);
}

void ColourPanel::channelChosen(int channel) {
    channel_ = std::clamp(channel, 0, 3);
    showSet();
}

void ColourPanel::showSet() {
    const LevelSet& s = picture_.levels().levelSet(channel_);
    const int values[5] = {s.black, int(std::lround(s.gamma * 100)), s.white, s.outBlack,
                           s.outWhite};
    for (int i = 0; i < 5; ++i) {
        const QSignalBlocker block(spins_[i]);
        spins_[i]->setValue(values[i]);
        edits_[i]->setText(i == Gamma ? gammaText(s.gamma) : QString::number(values[i]));
    }
    histogram_->setHistogram(picture_.levels().histogram(channel_), channel_);
    histogram_->setMarkers(s.black, LevelsAdjuster::gammaMarker(s.gamma, s.black, s.white),
                           s.white);
}

void ColourPanel::commit(int field) {
    LevelSet s = picture_.levels().levelSet(channel_);
    const auto number = [this](int i, int previous) {
        bool ok = false;
        const int v = edits_[i]->text().trimmed().toInt(&ok);
        return ok ? std::clamp(v, 0, 255) : previous;
    };
    switch (field) {
    case InBlack:
        s.black = std::clamp(number(InBlack, s.black), 0, s.white - 2);
        break;
    case InWhite:
        s.white = std::clamp(number(InWhite, s.white), s.black + 2, 255);
        break;
    case OutBlack:
        s.outBlack = std::clamp(number(OutBlack, s.outBlack), 0, s.outWhite - 2);
        break;
    case OutWhite:
        s.outWhite = std::clamp(number(OutWhite, s.outWhite), s.outBlack + 2, 255);
        break;
    case Gamma: {
        bool ok = false;
        const double g = edits_[Gamma]->text().trimmed().toDouble(&ok);
        s.gamma = LevelsAdjuster::clampGamma(ok ? g : s.gamma);
        s.gamma = std::round(s.gamma * 100) / 100;
        break;
    }
    default:
        return;
    }
    if (s == picture_.levels().levelSet(channel_)) {
        showSet(); // a refused value shows the kept one again
        return;
    }
    picture_.levels().setLevelSet(channel_, s);
    levelsTouched();
    showSet();
    applyLevels();
}

void ColourPanel::markerMoved(int marker, int value, bool dropped) {
    LevelSet s = picture_.levels().levelSet(channel_);
    if (marker == HistogramBox::Black)
        s.black = std::clamp(value, 0, s.white - 2);
    else if (marker == HistogramBox::White)
        s.white = std::clamp(value, s.black + 2, 255);
    else
        s.gamma = LevelsAdjuster::gammaAt(value, s.black, s.white);
    picture_.levels().setLevelSet(channel_, s);
    levelsTouched();
    // The edits and the other markers follow; the dragged gamma marker
    // stays under the pointer.
    for (int i : {InBlack, Gamma, InWhite}) {
        const QSignalBlocker block(spins_[i]);
        spins_[i]->setValue(i == InBlack   ? s.black
                            : i == InWhite ? s.white
                                           : int(std::lround(s.gamma * 100)));
        edits_[i]->setText(i == Gamma ? gammaText(s.gamma) : QString::number(spins_[i]->value()));
    }
    const int gammaAt = marker == HistogramBox::Gamma && !dropped
                            ? value
                            : LevelsAdjuster::gammaMarker(s.gamma, s.black, s.white);
    histogram_->setMarkers(s.black, gammaAt, s.white);
    applyLevels(!dropped);
}

void ColourPanel::levelsTouched() {
    // Levels changed by hand after an automatic step: the levels shown
    // (which hold the step's result) are what the file gets.
    if (batchMode() && records_[index_].mode != ColourRecord::Grey)
        records_[index_].mode = ColourRecord::Levels;
}

void ColourPanel::applyLevels(bool live) {
    const QSize fit = live ? shownSize() : QSize();
    if (!fit.isEmpty()) {
        if (const imaging::Bitmap* small = picture_.applyPreview(fit.width(), fit.height())) {
            showChange(small);
            return;
        }
    } else {
        picture_.apply();
    }
    showChange();
}

void ColourPanel::showChange(const imaging::Bitmap* standIn) {
    // Whatever else changed the picture has the levels in full by now:
    // the stand-in only lasts while a drag does.
    if (!standIn)
        picture_.finish();
    if (view_)
        view_->setStandIn(standIn);
    emit previewChanged();
}

QSize ColourPanel::shownSize() const {
    if (!view_)
        return {};
    QSize s = view_->displayRect().size();
    // Zoomed in past the window: the window's worth of pixels is enough
    // while the marker moves.
    if (s.width() > view_->width() || s.height() > view_->height())
        s = s.scaled(view_->size(), Qt::KeepAspectRatio);
    return s * view_->devicePixelRatioF();
}

void ColourPanel::runButton(int mode) {
    WaitCursor wait;
    switch (mode) {
    case ColourRecord::AutoColour:
        picture_.autoColour();
        break;
    case ColourRecord::AutoContrast:
        picture_.autoContrast();
        break;
    default:
        picture_.grey();
        break;
    }
    if (batchMode())
        records_[index_].mode = mode;
    showSet();
    showChange();
}

void ColourPanel::updateBatchButtons() {
    if (!batchMode())
        return;
    const bool all = applyAll_->isChecked();
    const int last = int(paths_.size()) - 1;
    previous_->setEnabled(index_ > 0 && !all);
    next_->setEnabled(index_ < last && !all);
    okButton_->setEnabled(!next_->isEnabled() && !paths_.empty());
}

void ColourPanel::step(int delta) {
    const int to = index_ + delta;
    if (to < 0 || to >= int(paths_.size()))
        return;
    const int mode = records_[index_].mode;
    records_[index_].storeLevels(picture_.levels());
    records_[index_].mode = mode;
    imaging::Bitmap loaded;
    const std::string& path = paths_[to];
    const PictureSource source = PictureSource::of(path);
    int rc = imaging::PictureFile::load(path, loaded);
    if (rc >= 1 && picturesUpright())
        rc = imaging::Orientation::makeUpright(loaded, imaging::Orientation::read(path));
    if (rc < 1) {
        QMessageBox::warning(this, res::qtext(res::IDS_APP_TITLE),
                             res::qtext(res::IDS_MSG_CANNOT_LOAD_PICTURE));
        return;
    }
    WaitCursor wait;
    index_ = to;
    context_.doc->displayed() = std::move(loaded);
    context_.doc->setSource(source);
    picture_.attach(&context_.doc->displayed());
    const ColourRecord& r = records_[index_];
    if (r.mode == ColourRecord::Grey) {
        picture_.grey();
    } else if (r.mode == ColourRecord::AutoColour) {
        picture_.autoColour();
    } else if (r.mode == ColourRecord::AutoContrast) {
        picture_.autoContrast();
    } else {
        r.loadLevels(picture_.levels());
        picture_.apply();
    }
    showSet();
    updateBatchButtons();
    showChange();
    emit captionChanged(batchCaption());
}

QString ColourPanel::batchCaption() const {
    if (!batchMode() || paths_.empty())
        return {};
    return QString::fromUtf8(
               res::format(res::IDS_COLOUR_BATCH_CAPTION, index_ + 1, int(paths_.size()))) +
           QString::fromStdString(paths_[index_]);
}

void ColourPanel::enterPressed() {
    if (okButton_->isEnabled())
        ok();
}

void ColourPanel::ok() {
    showChange(); // a drag's levels into the whole picture first
    if (!batchMode()) {
        emit finished();
        return;
    }
    if (paths_.empty())
        return;
    const int destination = toFolder_->isChecked() ? 1 : 0;
    if (context_.store)
        context_.store->setInt(keys::kGeneral, kRadioKey, destination);
    const int mode = records_[index_].mode;
    records_[index_].storeLevels(picture_.levels());
    records_[index_].mode = mode;
    if (applyAll_->isChecked())
        for (ColourRecord& r : records_)
            r = records_[index_];
    std::vector<std::any> out(records_.begin(), records_.end());
    BatchHandOver* handOver = context_.handOver;
    // The panel closes first: the run's dialog is modal over the browser.
    emit handedOver();
    handOver->confirm(std::move(out),
                      destination == 1 ? DestinationMode::Folder : DestinationMode::Overwrite,
                      folder_->text().toStdString());
}

void ColourPanel::cancel() {
    if (view_)
        view_->setStandIn(nullptr);
    if (batchMode())
        context_.handOver->cancel();
    emit cancelled();
}

} // namespace kamelo::edit
