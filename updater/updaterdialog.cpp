#include "updater/updaterdialog.h"

#include "updater/commandline.h"
#include "updater/messagebox.h"
#include "updater/paths.h"
#include "updater/updaterstrings.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vela {

namespace {

QString q(Str id) {
    auto t = text(id);
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

QFont gulim(int weight) {
    QFont font(QStringLiteral("굴림"));
    font.setPixelSize(13);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

} // namespace

UpdaterDialog::UpdaterDialog(const std::vector<std::string>& arguments, SystemActions& system,
                             std::string installFolder, QWidget* parent)
    : QDialog(parent), normalFont_(gulim(400)), boldFont_(gulim(700)) {
    setObjectName(QStringLiteral("VelaUpdate1.x"));
    build();

    const UpdaterArguments parsed = parseUpdaterArguments(arguments);
    automatic_ = parsed.automatic;
    programToRestart_ = parsed.programToRestart;

    RunOptions options;
    options.installFolder = std::move(installFolder);
    options.automatic = automatic_;
    options.programToRestart = programToRestart_;
    options.ownArguments = arguments;
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    options.ownProgram = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
    run_ = std::make_unique<UpdateRun>(std::move(options), *this, system);

    // The temporary folder, the old update script, then the title.
    run_->open();
    setWindowTitle(q(Str::STR_CAPTION) + QStringLiteral(" ") + q(Str::STR_VERSION_TEXT));

    // The run starts by itself, with or without "/auto".
    autoStart_.setSingleShot(true);
    connect(&autoStart_, &QTimer::timeout, this, [this] {
        startButton_->setEnabled(false);
        run_->start();
    });
    autoStart_.start(500);
}

UpdaterDialog::~UpdaterDialog() = default;

void UpdaterDialog::build() {
    setWindowIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    auto* top = new QVBoxLayout(this);

    auto* order = new QGroupBox(q(Str::STR_COLUMN_ORDER), this);
    auto* orderLayout = new QVBoxLayout(order);
    const Str stepTexts[3] = {Str::STR_STEP1, Str::STR_STEP2, Str::STR_STEP3};
    for (int i = 0; i < 3; ++i) {
        steps_[i] = new QLabel(q(stepTexts[i]), order);
        steps_[i]->setObjectName(QStringLiteral("ctl%1").arg(1003 + i));
        orderLayout->addWidget(steps_[i]);
    }
    top->addWidget(order);

    auto* download = new QGroupBox(q(Str::STR_COLUMN_DOWNLOAD), this);
    auto* grid = new QGridLayout(download);
    grid->addWidget(new QLabel(q(Str::STR_DOWNLOADING_NAME), download), 0, 0);
    fileName_ = new QLabel(download);
    fileName_->setObjectName(QStringLiteral("ctl1007"));
    grid->addWidget(fileName_, 0, 1);
    grid->addWidget(new QLabel(q(Str::STR_PROGRESS), download), 1, 0);
    progress_ = new QProgressBar(download);
    progress_->setObjectName(QStringLiteral("ctl1001"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    grid->addWidget(progress_, 1, 1);
    grid->addWidget(new QLabel(q(Str::STR_MESSAGE), download), 2, 0);
    status_ = new QLabel(download);
    status_->setObjectName(QStringLiteral("ctl1006"));
    grid->addWidget(status_, 2, 1);
    top->addWidget(download);

    auto* result = new QGroupBox(q(Str::STR_COLUMN_RESULT), this);
    auto* resultLayout = new QVBoxLayout(result);
    list_ = new QTreeWidget(result);
    list_->setObjectName(QStringLiteral("ctl1002"));
    list_->setRootIsDecorated(false);
    list_->setColumnCount(3);
    list_->setHeaderLabels(
        {q(Str::STR_COLUMN_FILE_NAME), q(Str::STR_COLUMN_SIZE), q(Str::STR_COLUMN_VERSION)});
    list_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    list_->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    resultLayout->addWidget(list_);
    top->addWidget(result);

    auto* buttons = new QHBoxLayout;
    startButton_ = new QPushButton(q(Str::STR_BUTTON_START), this);
    startButton_->setObjectName(QStringLiteral("ctl1013"));
    testButton_ = new QPushButton(QStringLiteral("TEST"), this);
    testButton_->setObjectName(QStringLiteral("ctl1010"));
    exitButton_ = new QPushButton(q(Str::STR_BUTTON_EXIT), this);
    exitButton_->setObjectName(QStringLiteral("ctl1009"));
    for (auto* b : {startButton_, testButton_, exitButton_}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    buttons->addWidget(startButton_);
    buttons->addWidget(testButton_);
    buttons->addStretch();
    buttons->addWidget(exitButton_);
    top->addLayout(buttons);

    connect(startButton_, &QPushButton::clicked, this, [this] {
        autoStart_.stop();
        startButton_->setEnabled(false);
        run_->start();
    });
    connect(exitButton_, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });

    // 243 x 265 dialog units at the usual 2 x 2 pixels per unit of this font.
    resize(486, 530);
    const int listWidth = 486 - 40;
    const int scroll = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    list_->setColumnWidth(0, listWidth - scroll - 155);
    list_->setColumnWidth(1, 75);
    list_->setColumnWidth(2, 75);
    setCurrentStep(1);
}

void UpdaterDialog::setStatus(const QString& text) {
    status_->setText(text);
}

void UpdaterDialog::setCurrentStep(int phase) {
    for (int i = 0; i < 3; ++i)
        steps_[i]->setFont(i + 1 == phase ? boldFont_ : normalFont_);
}

void UpdaterDialog::setStepLabels(const QString& first, const QString& second,
                                  const QString& third) {
    steps_[0]->setText(first);
    steps_[1]->setText(second);
    steps_[2]->setText(third);
}

void UpdaterDialog::setDownloadName(const QString& name) {
    fileName_->setText(name);
}

void UpdaterDialog::setProgress(int percent) {
    progress_->setValue(std::clamp(percent, 0, 100));
}

void UpdaterDialog::addResultRow(const QString& name, const QString& size, const QString& version) {
    auto* item = new QTreeWidgetItem(list_, {name, size, version});
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    list_->scrollToItem(item);
}

// An automatic run has nobody to answer for certain: its boxes take their
// safe answer (OK, Cancel, No) after this long, so that the run always ends.
constexpr int kAutomaticAnswerMs = 60000;

int UpdaterDialog::unattendedMs() const {
    return automatic_ ? kAutomaticAnswerMs : 0;
}

QWidget* UpdaterDialog::modalParent() {
    return isVisible() ? this : nullptr;
}

void UpdaterDialog::notify(const QString& message, bool automatic) {
    if (automatic)
        KMessageBoxWnd::notice(modalParent(), message);
    else
        MessageBox::ask(modalParent(), message, kBoxOk, QString(), kIconByType, unattendedMs());
}

void UpdaterDialog::showMessage(const QString& message) {
    MessageBox::ask(modalParent(), message, kBoxOk, QString(), kIconByType, unattendedMs());
}

void UpdaterDialog::showFailure(const QString& message) {
    MessageBox::ask(modalParent(), message, kBoxOk, QString(), kIconWarning, unattendedMs());
}

bool UpdaterDialog::askOkCancel(const QString& message) {
    // Asked only when a file cannot be written: a failure until it is retried.
    return MessageBox::ask(modalParent(), message, kBoxOkCancel, QString(), kIconWarning,
                           unattendedMs()) == kIdOk;
}

bool UpdaterDialog::askYesNo(const QString& message) {
    return MessageBox::ask(modalParent(), message, kBoxYesNo, QString(), kIconByType,
                           unattendedMs()) == kIdYes;
}

void UpdaterDialog::closeView(bool ok) {
    done(ok ? QDialog::Accepted : QDialog::Rejected);
}

void UpdaterDialog::done(int result) {
    if (!closing_) {
        closing_ = true;
        autoStart_.stop();
        // A running download stops at its next block.
        run_->cleanupOnClose();
    }
    QDialog::done(result);
}

void UpdaterDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void UpdaterDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    done(QDialog::Rejected);
}

} // namespace vela
