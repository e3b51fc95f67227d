#include "resizeform.h"

#include "resources/qtstrings.h"
#include "resources/stringtable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

namespace kamelo::edit {

namespace {
QLineEdit* numberEdit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    // Digits only, few enough to stay inside 32 bits.
    e->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), e));
    e->setMaximumWidth(80);
    return e;
}

int number(const QLineEdit* e) {
    return e->text().toInt(); // empty or not a number: 0
}
} // namespace

ResizeForm::ResizeForm(bool withSaveGroup, QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    byPercent_ = new QRadioButton(res::qtext(res::IDS_RESIZE_BY_PERCENT), this);
    byPercent_->setObjectName(QStringLiteral("byPercent"));
    bySize_ = new QRadioButton(res::qtext(res::IDS_RESIZE_BY_PIXELS), this);
    bySize_->setObjectName(QStringLiteral("bySize"));
    percent_ = numberEdit(this, "percent");
    percentSign_ = new QLabel(QStringLiteral("%"), this);
    width_ = numberEdit(this, "width");
    height_ = numberEdit(this, "height");
    keepRatio_ = new QCheckBox(res::qtext(res::IDS_RESIZE_KEEP_ASPECT), this);
    keepRatio_->setObjectName(QStringLiteral("keepRatio"));
    fitLabel_ = new QLabel(res::qtext(res::IDS_RESIZE_FIT), this);
    fitSide_ = new QComboBox(this);
    fitSide_->setObjectName(QStringLiteral("fitSide"));
    fitSide_->addItems(
        {res::qtext(res::IDS_RESIZE_FIT_WIDTH), res::qtext(res::IDS_RESIZE_FIT_HEIGHT)});
    method_ = new QComboBox(this);
    method_->setObjectName(QStringLiteral("method"));
    method_->addItems({res::qtext(res::IDS_QUALITY_BICUBIC), res::qtext(res::IDS_QUALITY_RESAMPLE),
                       res::qtext(res::IDS_QUALITY_NORMAL)});

    auto* percentRow = new QHBoxLayout;
    percentRow->addWidget(percent_);
    percentRow->addWidget(percentSign_);
    percentRow->addStretch();
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(width_);
    sizeRow->addWidget(new QLabel(QStringLiteral("X"), this));
    sizeRow->addWidget(height_);
    sizeRow->addStretch();
    int row = 0;
    grid->addWidget(byPercent_, row, 0, Qt::AlignLeft);
    grid->addLayout(percentRow, row++, 1);
    grid->addWidget(bySize_, row, 0, Qt::AlignLeft);
    grid->addLayout(sizeRow, row++, 1);
    grid->addWidget(keepRatio_, row++, 0, 1, 2, Qt::AlignLeft);
    grid->addWidget(fitLabel_, row, 0);
    grid->addWidget(fitSide_, row++, 1);
    grid->addWidget(new QLabel(res::qtext(res::IDS_RESIZE_METHOD), this), row, 0);
    grid->addWidget(method_, row++, 1);

    if (withSaveGroup) {
        saveGroup_ = new QGroupBox(this);
        overwrite_ = new QRadioButton(res::qtext(res::IDS_SAVE_OVERWRITE), saveGroup_);
        overwrite_->setObjectName(QStringLiteral("overwrite"));
        toFolder_ = new QRadioButton(res::qtext(res::IDS_SAVE_OTHER_FOLDER), saveGroup_);
        toFolder_->setObjectName(QStringLiteral("toFolder"));
        folder_ = new QLineEdit(saveGroup_);
        folder_->setObjectName(QStringLiteral("folder"));
        browse_ = new QPushButton(QStringLiteral("..."), saveGroup_);
        browse_->setObjectName(QStringLiteral("browse"));
        browse_->setMaximumWidth(32);
        auto* g = new QGridLayout(saveGroup_);
        // Left-aligned at their own width: a radio button reacts only on
        // its circle and text, so one stretched across the group would
        // take clicks on empty space to its right and do nothing.
        g->addWidget(overwrite_, 0, 0, 1, 2, Qt::AlignLeft);
        g->addWidget(toFolder_, 1, 0, 1, 2, Qt::AlignLeft);
        g->addWidget(folder_, 2, 0);
        g->addWidget(browse_, 2, 1);
        grid->addWidget(saveGroup_, row++, 0, 1, 2);
        connect(overwrite_, &QRadioButton::toggled, this, &ResizeForm::updateEnabling);
        connect(toFolder_, &QRadioButton::toggled, this, &ResizeForm::updateEnabling);
        connect(browse_, &QPushButton::clicked, this, &ResizeForm::chooseFolder);
    }
    connect(byPercent_, &QRadioButton::toggled, this, &ResizeForm::updateEnabling);
    connect(keepRatio_, &QCheckBox::toggled, this, &ResizeForm::updateEnabling);
    connect(fitSide_, &QComboBox::currentIndexChanged, this, &ResizeForm::updateEnabling);
    setSettings(ResizeSettings{});
}

void ResizeForm::setSettings(const ResizeSettings& s) {
    (s.mode == ResizeSettings::BySize ? bySize_ : byPercent_)->setChecked(true);
    percent_->setText(QString::number(s.percent));
    width_->setText(QString::number(s.width));
    height_->setText(QString::number(s.height));
    keepRatio_->setChecked(s.keepRatio != 0);
    fitSide_->setCurrentIndex(s.fitSide == ResizeSettings::FitHeight ? 1 : 0);
    method_->setCurrentIndex(s.interpolation >= 0 && s.interpolation < 3 ? s.interpolation : -1);
    if (saveGroup_)
        (s.saveMode == ResizeSettings::SaveToFolder ? toFolder_ : overwrite_)->setChecked(true);
    updateEnabling();
}

ResizeSettings ResizeForm::settings() const {
    ResizeSettings s;
    s.mode = bySize_->isChecked() ? ResizeSettings::BySize : ResizeSettings::ByPercent;
    s.percent = number(percent_);
    s.width = number(width_);
    s.height = number(height_);
    s.keepRatio = keepRatio_->isChecked() ? 1 : 0;
    s.fitSide =
        fitSide_->currentIndex() == 1 ? ResizeSettings::FitHeight : ResizeSettings::FitWidth;
    s.interpolation = method_->currentIndex();
    if (saveGroup_)
        s.saveMode =
            toFolder_->isChecked() ? ResizeSettings::SaveToFolder : ResizeSettings::SaveOverwrite;
    return s;
}

void ResizeForm::setFolder(const QString& folder) {
    if (folder_)
        folder_->setText(folder);
}

QString ResizeForm::folder() const {
    return folder_ ? folder_->text() : QString();
}

QString ResizeForm::problem() const {
    const ResizeSettings s = settings();
    if (ResizeRule::flagForIndex(s.interpolation) < 0)
        return res::qtext(res::IDS_MSG_RESIZE_METHOD_FAILED);
    if (saveGroup_ && s.mode == ResizeSettings::ByPercent &&
        (s.percent < ResizeSettings::kMinPercent || s.percent > ResizeSettings::kMaxPercent))
        return QString::fromUtf8(res::format(res::IDS_RESIZE_PERCENT_RANGE,
                                             ResizeSettings::kMinPercent,
                                             ResizeSettings::kMaxPercent));
    return {};
}

void ResizeForm::updateEnabling() {
    ResizeSettings s;
    s.mode = bySize_->isChecked() ? ResizeSettings::BySize : ResizeSettings::ByPercent;
    s.keepRatio = keepRatio_->isChecked() ? 1 : 0;
    s.fitSide =
        fitSide_->currentIndex() == 1 ? ResizeSettings::FitHeight : ResizeSettings::FitWidth;
    s.saveMode = toFolder_ && toFolder_->isChecked() ? ResizeSettings::SaveToFolder
                                                     : ResizeSettings::SaveOverwrite;
    const ResizeRule::Enabling e = ResizeRule::enabling(s);
    percent_->setEnabled(e.percent);
    percentSign_->setEnabled(e.percent);
    keepRatio_->setEnabled(e.keepRatio);
    fitLabel_->setEnabled(e.fitSide);
    fitSide_->setEnabled(e.fitSide);
    width_->setEnabled(e.width);
    height_->setEnabled(e.height);
    if (saveGroup_) {
        folder_->setEnabled(e.folder);
        browse_->setEnabled(e.folder);
    }
}

void ResizeForm::chooseFolder() {
    const QString chosen =
        QFileDialog::getExistingDirectory(this, res::qtext(res::IDS_RESIZE_FOLDER_PROMPT),
                                          folder_->text(), QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty())
        folder_->setText(chosen);
}

} // namespace kamelo::edit
