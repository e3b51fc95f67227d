#include "aboutsheet.h"

#include "prefs/accelpage.h"
#include "resources/qtstrings.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kamelo::prefs {

namespace {
QString resourceText(const QString& name) {
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}
} // namespace

CAboutPage::CAboutPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CAboutPage"));
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(res::qtext(res::IDS_SOFTWARE_NAME), this);
    name->setObjectName(QStringLiteral("programName"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    name->setFont(big);
    auto* version = new QLabel(
        QString::fromStdString(res::format(res::IDS_ABOUT_VERSION, KAMELO_VERSION)), this);
    version->setObjectName(QStringLiteral("programVersion"));
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addStretch(1);
}

CTextPage::CTextPage(const QString& resource, const QString& title, QWidget* parent)
    : QWidget(parent), text_(resourceText(resource)) {
    setWindowTitle(title);
    auto* edit = new QPlainTextEdit(text_, this);
    edit->setReadOnly(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit);
}

QString CTextPage::text() const {
    return text_;
}

QString CAboutSheet::acceleratorText() {
    return resourceText(QStringLiteral(":/texts/accelerators.txt"));
}

QString CAboutSheet::updateHistoryText() {
    return resourceText(QStringLiteral(":/texts/updatehistory.txt"));
}

CAboutSheet::CAboutSheet(QWidget* parent) : QDialog(parent), tabs_(new QTabWidget(this)) {
    setWindowTitle(res::qtext(res::IDS_ABOUT_CAPTION));
    setObjectName(QStringLiteral("CAboutSheet"));
    tabs_->addTab(new CAboutPage(tabs_), res::qtext(res::IDS_ABOUT_PAGE));
    auto* accel = new CAccelPage(acceleratorText(), res::qtext(res::IDS_ACCEL_PAGE), tabs_);
    accel->setObjectName(QStringLiteral("CAccelPage"));
    tabs_->addTab(accel, accel->windowTitle());
    auto* history = new CTextPage(QStringLiteral(":/texts/updatehistory.txt"),
                                  res::qtext(res::IDS_UPDATE_HISTORY_PAGE), tabs_);
    history->setObjectName(QStringLiteral("CUpdatePage"));
    tabs_->addTab(history, history->windowTitle());
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(res::qtext(res::IDS_OK), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    resize(480, 420);
}

} // namespace kamelo::prefs
