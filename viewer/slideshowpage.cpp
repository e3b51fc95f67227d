#include "slideshowpage.h"

#include "base/programfolders.h"
#include "base/settingsstore.h"
#include "imaging/colour/displaycolour.h"
#include "imaging/picturefile.h"
#include "resources/qtstrings.h"
#include "screencolour.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <string>

namespace kamelo {

namespace {
constexpr const char* kSection = "Slide Show";
constexpr const char* kDelayTime = "Delay Time";
constexpr int kDefaultDelay = 2000;
constexpr int kPreviewStepMs = 20;
const QSize kPreviewSize(200, 150);

const int kEffectNames[imaging::Transition::kEffectCount] = {
    res::IDS_EFFECT_FADE,     res::IDS_EFFECT_PUSH,      res::IDS_EFFECT_PIXEL,
    res::IDS_EFFECT_FOUR_WAY, res::IDS_EFFECT_CIRCLE,    res::IDS_EFFECT_RECTANGLE,
    res::IDS_EFFECT_BLINDS,   res::IDS_EFFECT_PIXEL_DROP};

std::string effectKey(int index) {
    return "Effect " + std::to_string(index);
}
} // namespace

CSlideShowPage::CSlideShowPage(SettingsStore& store, QWidget* parent, const QString& pictureFolder)
    : QWidget(parent), store_(store), folder_(pictureFolder) {
    setObjectName(QStringLiteral("CSlideShowPage"));
    setWindowTitle(res::qtext(res::IDS_SLIDESHOW_PAGE));
    if (folder_.isEmpty())
        folder_ = QString::fromStdString(ProgramFolders::executableFolder());
    if (!folder_.endsWith(QLatin1Char('/')))
        folder_ += QLatin1Char('/');

    const int delay = store_.getInt(kSection, kDelayTime, kDefaultDelay);
    interval_ = new QLineEdit(QString::number(delay), this);
    interval_->setObjectName(QStringLiteral("interval"));
    // Digits only, at most nine: the value always fits the setting.
    interval_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), this));
    interval_->setToolTip(res::qtext(res::IDS_SLIDESHOW_BAD_INTERVAL));
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(interval_);
    intervalRow->addWidget(new QLabel(res::qtext(res::IDS_SLIDESHOW_MS), this));
    intervalRow->addWidget(new QLabel(res::qtext(res::IDS_SLIDESHOW_INTERVAL_HINT), this));
    intervalRow->addStretch(1);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("effects"));
    list_->setRootIsDecorated(false);
    list_->setColumnCount(1);
    list_->setHeaderLabels({res::qtext(res::IDS_SLIDESHOW_EFFECT)});
    list_->header()->setStretchLastSection(false);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    for (int i = 0; i < imaging::Transition::kEffectCount; ++i) {
        auto* item = new QTreeWidgetItem(list_, {res::qtext(kEffectNames[i])});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, store_.getInt(kSection, effectKey(i), 1) != 0 ? Qt::Checked
                                                                             : Qt::Unchecked);
    }
    list_->viewport()->installEventFilter(this);
    list_->setCurrentItem(nullptr);

    selectAll_ = new QPushButton(res::qtext(res::IDS_SELECT_ALL), this);
    clearAll_ = new QPushButton(res::qtext(res::IDS_DESELECT_ALL), this);
    connect(selectAll_, &QPushButton::clicked, this, [this] {
        for (int i = 0; i < list_->topLevelItemCount(); ++i)
            list_->topLevelItem(i)->setCheckState(0, Qt::Checked);
    });
    connect(clearAll_, &QPushButton::clicked, this, [this] {
        for (int i = 0; i < list_->topLevelItemCount(); ++i)
            list_->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    });

    preview_ = new QWidget(this);
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setFixedSize(kPreviewSize);
    preview_->setAttribute(Qt::WA_OpaquePaintEvent);
    preview_->installEventFilter(this);
    name_ = new QLabel(res::qtext(res::IDS_EFFECT_NONE), this);
    name_->setObjectName(QStringLiteral("effectName"));
    name_->setAlignment(Qt::AlignHCenter);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(selectAll_);
    buttons->addWidget(clearAll_);
    buttons->addStretch(1);
    auto* previewColumn = new QVBoxLayout;
    previewColumn->addWidget(preview_);
    previewColumn->addWidget(name_);
    previewColumn->addStretch(1);
    auto* groupRow = new QHBoxLayout;
    groupRow->addWidget(list_, 1);
    groupRow->addLayout(buttons);
    groupRow->addLayout(previewColumn);
    auto* group = new QGroupBox(res::qtext(res::IDS_SLIDESHOW_TRANSITIONS), this);
    auto* groupColumn = new QVBoxLayout(group);
    groupColumn->addLayout(groupRow);
    groupColumn->addWidget(new QLabel(res::qtext(res::IDS_SLIDESHOW_RANDOM_HINT), group));

    auto* page = new QVBoxLayout(this);
    page->addLayout(intervalRow);
    page->addWidget(group, 1);

    frame_ = sample(slide_);
    // Timer 1037: the samples change at the slide show's pace.
    connect(&slideTimer_, &QTimer::timeout, this, &CSlideShowPage::nextSlide);
    slideTimer_.start(delay > 0 ? delay : kDefaultDelay);
    changeTimer_.setTimerType(Qt::PreciseTimer);
    changeTimer_.setInterval(kPreviewStepMs);
    connect(&changeTimer_, &QTimer::timeout, this, &CSlideShowPage::onChangeFrame);
}

CSlideShowPage::~CSlideShowPage() {
    slideTimer_.stop();
    changeTimer_.stop();
}

void CSlideShowPage::apply() {
    bool ok = false;
    const int delay = interval_->text().toInt(&ok);
    // An empty field (or 0) keeps what is stored.
    if (ok && delay > 0)
        store_.setInt(kSection, kDelayTime, delay);
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        store_.setInt(kSection, effectKey(i),
                      list_->topLevelItem(i)->checkState(0) == Qt::Checked ? 1 : 0);
}

void CSlideShowPage::setPreviewed(int index) {
    previewed_ = index;
    name_->setText(index >= 0 && index < imaging::Transition::kEffectCount
                       ? res::qtext(kEffectNames[index])
                       : res::qtext(res::IDS_EFFECT_NONE));
}

const QImage& CSlideShowPage::sample(int index) {
    QImage& s = samples_[index];
    if (s.isNull()) {
        imaging::Bitmap picture;
        const std::string path = (folder_ + QStringLiteral("slide%1.jpg").arg(index)).toStdString();
        // A missing or unreadable sample leaves an empty (black) one.
        if (imaging::PictureFile::load(path, picture) < 1)
            picture.free();
        // In the screen's colours, as the slide show shows pictures.
        const imaging::colour::TransformPtr toScreen = imaging::colour::DisplayColour::toScreen(
            picture.colourProfile(), screencolour::screenIndex(this));
        s = screencolour::slide(picture, kPreviewSize, Qt::black, toScreen.get());
    }
    return s;
}

void CSlideShowPage::nextSlide() {
    const int previous = slide_;
    slide_ = (slide_ + 1) % 3;
    emit slideChanged(slide_);
    changeTimer_.stop();
    change_ = imaging::Transition::previewEffect(previewed_);
    changeFrames_ = 0;
    if (change_.number == imaging::Transition::kNone) {
        frame_ = sample(slide_);
        changeFrames_ = 1;
        preview_->update();
        return;
    }
    // From the sample before to this one, one frame every 20 ms.
    const QImage from = sample(previous);
    frame_ = from;
    schedule_ = imaging::Transition::previewSchedule();
    step_ = 0;
    onChangeFrame();
    changeTimer_.start();
}

void CSlideShowPage::onChangeFrame() {
    if (step_ >= schedule_.size()) {
        changeTimer_.stop();
        return;
    }
    const int previous = (slide_ + 2) % 3;
    imaging::Transition::compose(change_, schedule_[step_], sample(previous), sample(slide_),
                                 frame_);
    ++step_;
    ++changeFrames_;
    if (step_ >= schedule_.size())
        changeTimer_.stop();
    preview_->update();
}

bool CSlideShowPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == preview_ && event->type() == QEvent::Paint) {
        QPainter p(preview_);
        p.fillRect(preview_->rect(), Qt::black);
        if (!frame_.isNull())
            p.drawImage(0, 0, frame_);
        return true;
    }
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonPress) {
        // A click anywhere in the list picks what it hits, or nothing.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        QTreeWidgetItem* item = list_->itemAt(mouse->position().toPoint());
        setPreviewed(item ? list_->indexOfTopLevelItem(item) : -1);
    }
    return QWidget::eventFilter(watched, event);
}

void CSlideShowPage::fitColumn() {
    // One column as wide as the list minus a vertical scroll bar.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list_);
    list_->header()->resizeSection(0, std::max(0, list_->width() - 2 * list_->frameWidth() - bar));
}

void CSlideShowPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitColumn();
}

void CSlideShowPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    fitColumn();
}

} // namespace kamelo
