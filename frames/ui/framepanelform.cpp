#include "framepanel.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "edit/batchhandover.h"
#include "edit/panelparts.h"
#include "edit/saveasdialog.h"
#include "frames/fontfallback.h"
#include "frames/framebatch.h"
#include "frames/framecomposer.h"
#include "frames/overlays.h"
#include "framesettings.h"
#include "imaging/fileinfo.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "myfontdialog.h"
#include "offsetspin.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace kamelo::frames {

namespace {

constexpr int kAnchorTexts[PanelRules::kAnchorCount] = {
    res::IDS_POS_BOTTOM_LEFT, res::IDS_POS_BOTTOM_CENTER, res::IDS_POS_BOTTOM_RIGHT,
    res::IDS_POS_TOP_LEFT,    res::IDS_POS_TOP_CENTER,    res::IDS_POS_TOP_RIGHT,
    res::IDS_POS_MIDDLE_LEFT, res::IDS_POS_MIDDLE_CENTER, res::IDS_POS_MIDDLE_RIGHT,
};

QComboBox* anchorList(QWidget* parent, const char* name) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    for (int id : kAnchorTexts)
        combo->addItem(res::qtext(id));
    return combo;
}

// Digits with an optional sign; the range is checked with Enter.
QValidator* numberValidator(QObject* parent, bool sign) {
    return new QRegularExpressionValidator(
        QRegularExpression(sign ? QStringLiteral("-?[0-9]{0,9}") : QStringLiteral("[0-9]{0,9}")),
        parent);
}

} // namespace

// The panel's controls and their connections, built once by the constructor.
void FramePanel::buildFrameList(QVBoxLayout* layout) {
    auto* box = new QGroupBox(res::qtext(res::IDS_FRAME_WORD), this);
    auto* l = new QVBoxLayout(box);
    frames_ = new QListWidget(box);
    frames_->setObjectName(QStringLiteral("frameList"));
    frames_->addItem(res::qtext(res::IDS_FRAME_NONE));
    for (const SkinEntry& skin : skins_)
        frames_->addItem(QString::fromStdString(skin.caption));
    frames_->setMinimumHeight(80);
    l->addWidget(frames_);
    layout->addWidget(box);
    connect(frames_, &QListWidget::currentRowChanged, this, &FramePanel::frameChosen);
}

QLineEdit* FramePanel::offsetEdit(const char* name, OffsetSpin** spin) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(name));
    edit->setValidator(numberValidator(edit, true));
    *spin = new OffsetSpin(this);
    (*spin)->setObjectName(QLatin1String(name) + QLatin1String("Spin"));
    return edit;
}

void FramePanel::buildTag(QVBoxLayout* layout) {
    auto* box = new QGroupBox(this);
    auto* g = new QGridLayout(box);
    drawTag_ = new QCheckBox(res::qtext(res::IDS_TAG_IMAGE_ON), box);
    drawTag_->setObjectName(QStringLiteral("drawTag"));
    g->addWidget(drawTag_, 0, 0, 1, 4);
    tagPath_ = new QLineEdit(box);
    tagPath_->setObjectName(QStringLiteral("tagPath"));
    tagPath_->setReadOnly(true);
    auto* browse = new QPushButton(res::qtext(res::IDS_EDIT_DESTINATION_BROWSE), box);
    browse->setObjectName(QStringLiteral("tagBrowse"));
    browse->setMaximumWidth(32);
    g->addWidget(tagPath_, 1, 0, 1, 3);
    g->addWidget(browse, 1, 3);
    g->addWidget(new QLabel(res::qtext(res::IDS_TAG_POSITION), box), 2, 0);
    tagPosition_ = anchorList(box, "tagPosition");
    g->addWidget(tagPosition_, 2, 1, 1, 3);
    const char* names[2] = {"tagX", "tagY"};
    const int labels[2] = {res::IDS_FRAME_X_OFFSET, res::IDS_FRAME_Y_OFFSET};
    for (int i = 0; i < 2; ++i) {
        g->addWidget(new QLabel(res::qtext(labels[i]), box), 3 + i, 0);
        offsets_[i] = offsetEdit(names[i], &offsetSpins_[i]);
        g->addWidget(offsets_[i], 3 + i, 1, 1, 2);
        g->addWidget(offsetSpins_[i], 3 + i, 3);
    }
    layout->addWidget(box);
    connect(drawTag_, &QCheckBox::toggled, this, &FramePanel::tagToggled);
    connect(browse, &QPushButton::clicked, this, [this] {
        if (chooseTag())
            redrawIf(record_.drawTag);
    });
    connect(tagPosition_, &QComboBox::currentIndexChanged, this, [this](int i) {
        record_.tagPosition = i;
        redrawIf(record_.drawTag);
    });
}

void FramePanel::buildText(QVBoxLayout* layout) {
    auto* box = new QGroupBox(this);
    auto* g = new QGridLayout(box);
    drawText_ = new QCheckBox(res::qtext(res::IDS_TEXT_ON), box);
    drawText_->setObjectName(QStringLiteral("drawText"));
    g->addWidget(drawText_, 0, 0, 1, 4);
    text_ = new QLineEdit(box);
    text_->setObjectName(QStringLiteral("text"));
    g->addWidget(text_, 1, 0, 1, 4);
    // The picture cuts what does not fit: said at once, in red.
    textNote_ = new QLabel(res::qtext(res::IDS_TEXT_DOES_NOT_FIT), box);
    textNote_->setObjectName(QStringLiteral("textNote"));
    textNote_->setWordWrap(true);
    textNote_->setStyleSheet(QStringLiteral("color: #c00000"));
    textNote_->hide();
    g->addWidget(textNote_, 9, 0, 1, 4);

    g->addWidget(new QLabel(res::qtext(res::IDS_FONT_LABEL), box), 2, 0);
    fontLabel_ = new QLabel(box);
    fontLabel_->setObjectName(QStringLiteral("fontLabel"));
    fontLabel_->setWordWrap(true);
    auto* fontButton = new QPushButton(res::qtext(res::IDS_EDIT_DESTINATION_BROWSE), box);
    fontButton->setObjectName(QStringLiteral("fontButton"));
    fontButton->setMaximumWidth(32);
    g->addWidget(fontLabel_, 2, 1, 1, 2);
    g->addWidget(fontButton, 2, 3);

    auto* colourButton = new QPushButton(res::qtext(res::IDS_TEXT_COLOUR), box);
    colourButton->setObjectName(QStringLiteral("colourButton"));
    swatch_ = new QLabel(box);
    swatch_->setObjectName(QStringLiteral("swatch"));
    swatch_->setFixedSize(24, 16);
    swatch_->setAutoFillBackground(true);
    swatch_->setFrameShape(QFrame::Box);
    g->addWidget(colourButton, 3, 0);
    g->addWidget(swatch_, 3, 1);

    g->addWidget(new QLabel(res::qtext(res::IDS_TEXT_ALPHA), box), 4, 0);
    alpha_ = new QLineEdit(box);
    alpha_->setObjectName(QStringLiteral("alpha"));
    alpha_->setValidator(numberValidator(alpha_, false));
    alphaSpin_ = new OffsetSpin(box);
    alphaSpin_->setObjectName(QStringLiteral("alphaSpin"));
    alphaSpin_->setRange(0, 255);
    g->addWidget(alpha_, 4, 1, 1, 2);
    g->addWidget(alphaSpin_, 4, 3);

    g->addWidget(new QLabel(res::qtext(res::IDS_TEXT_POSITION), box), 5, 0);
    textPosition_ = anchorList(box, "textPosition");
    g->addWidget(textPosition_, 5, 1, 1, 3);
    const char* names[2] = {"textX", "textY"};
    const int labels[2] = {res::IDS_FRAME_X_OFFSET, res::IDS_FRAME_Y_OFFSET};
    for (int i = 0; i < 2; ++i) {
        g->addWidget(new QLabel(res::qtext(labels[i]), box), 6 + i, 0);
        offsets_[2 + i] = offsetEdit(names[i], &offsetSpins_[2 + i]);
        g->addWidget(offsets_[2 + i], 6 + i, 1, 1, 2);
        g->addWidget(offsetSpins_[2 + i], 6 + i, 3);
    }
    g->addWidget(new QLabel(res::qtext(res::IDS_TEXT_RENDERING), box), 8, 0);
    rendering_ = new QComboBox(box);
    rendering_->setObjectName(QStringLiteral("rendering"));
    for (int id : {res::IDS_RENDER_ANTIALIAS, res::IDS_RENDER_CLEARTYPE, res::IDS_RENDER_NORMAL})
        rendering_->addItem(res::qtext(id));
    g->addWidget(rendering_, 8, 1, 1, 3);
    layout->addWidget(box);

    connect(drawText_, &QCheckBox::toggled, this, [this](bool on) {
        record_.drawText = on ? 1 : 0;
        redraw();
    });
    connect(text_, &QLineEdit::textEdited, this, [this](const QString& t) {
        record_.text = t.toStdString();
        redrawIf(record_.drawText);
    });
    connect(fontButton, &QPushButton::clicked, this, &FramePanel::chooseFont);
    connect(colourButton, &QPushButton::clicked, this, &FramePanel::chooseColour);
    connect(alpha_, &QLineEdit::returnPressed, this, &FramePanel::commitAlpha);
    connect(alphaSpin_, &QSpinBox::valueChanged, this, [this](int v) {
        record_.textAlpha = uint8_t(v);
        alpha_->setText(QString::number(v));
        redrawIf(record_.drawText);
    });
    connect(textPosition_, &QComboBox::currentIndexChanged, this, [this](int i) {
        record_.textPosition = i;
        redrawIf(record_.drawText);
    });
    connect(rendering_, &QComboBox::currentIndexChanged, this, [this](int i) {
        record_.rendering = i;
        redrawIf(record_.drawText);
    });
    for (int i = 0; i < 4; ++i) {
        connect(offsets_[i], &QLineEdit::returnPressed, this, [this] { commitOffsets(true); });
        connect(offsetSpins_[i], &QSpinBox::valueChanged, this,
                [this, i](int v) { offsetSpun(i, v); });
    }
}

void FramePanel::buildBatch(QVBoxLayout* layout) {
    const edit::BatchHandOver& h = *context_.handOver;
    paths_ = h.paths();
    for (const std::any& r : h.records()) {
        const auto* record = std::any_cast<DecorationRecord>(&r);
        records_.push_back(record ? *record : DecorationRecord{});
    }
    records_.resize(paths_.size());
    shown_.assign(paths_.size(), false);

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
    overwrite_->setChecked(true);
    folder_ = new QLineEdit(group);
    folder_->setObjectName(QStringLiteral("folder"));
    auto* browse = new QPushButton(res::qtext(res::IDS_EDIT_DESTINATION_BROWSE), group);
    browse->setObjectName(QStringLiteral("browse"));
    browse->setMaximumWidth(32);
    auto* g = new QGridLayout(group);
    g->addWidget(overwrite_, 0, 0, 1, 2);
    g->addWidget(toFolder_, 1, 0, 1, 2);
    g->addWidget(folder_, 2, 0);
    g->addWidget(browse, 2, 1);
    layout->addWidget(group);
    const QString first = paths_.empty() ? QString() : QString::fromStdString(paths_.front());
    folder_->setText(edit::PanelParts::folderOf(first) + QStringLiteral("/output"));

    connect(previous_, &QPushButton::clicked, this, [this] { step(-1); });
    connect(next_, &QPushButton::clicked, this, [this] { step(1); });
    connect(applyToAll_, &QCheckBox::toggled, this, &FramePanel::updateEnabling);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen =
            QFileDialog::getExistingDirectory(this, res::qtext(res::IDS_CONVERTED_FOLDER_PROMPT),
                                              folder_->text(), QFileDialog::ShowDirsOnly);
        if (!chosen.isEmpty())
            folder_->setText(chosen);
    });
}

} // namespace kamelo::frames
