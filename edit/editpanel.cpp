#include "editpanel.h"

#include "batchhandover.h"
#include "resources/qtstrings.h"
#include "toolicons.h"
#include "viewer/eyedoc.h"
#include "viewer/picturecheck.h"
#include "viewer/showview.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstring>

namespace kamelo::edit {

namespace {

struct ButtonEntry {
    int id;
    int textId;
    ToolId tool;
};

constexpr ButtonEntry kButtons[] = {
    {EditPanel::kRotateButton, res::IDS_ROTATE_TOOL, ToolId::Rotate},
    {EditPanel::kResizeButton, res::IDS_RESIZE_BUTTON, ToolId::Resize},
    {EditPanel::kCropButton, res::IDS_CROP_TOOL, ToolId::Crop},
    {EditPanel::kColourButton, res::IDS_EDIT_BUTTON_COLOUR, ToolId::Colour},
    {EditPanel::kSharpenButton, res::IDS_SHARPEN_TOOL, ToolId::Sharpness},
    {EditPanel::kFrameButton, res::IDS_EDIT_BUTTON_FRAME, ToolId::Frame},
    {EditPanel::kSaveButton, res::IDS_EDIT_BUTTON_SAVE, ToolId::None},
    {EditPanel::kUndoButton, res::IDS_UNDO, ToolId::None},
};

int titleOf(ToolId tool) {
    switch (tool) {
    case ToolId::Frame:
        return res::IDS_FRAME_TOOL;
    case ToolId::Rotate:
        return res::IDS_ROTATE_TOOL;
    case ToolId::Resize:
        return res::IDS_RESIZE_TOOL;
    case ToolId::Crop:
        return res::IDS_CROP_TOOL;
    case ToolId::Colour:
        return res::IDS_COLOUR_TOOL;
    case ToolId::Sharpness:
        return res::IDS_SHARPEN_TOOL;
    case ToolId::None:
        break;
    }
    return res::IDS_EDIT_BAR_CAPTION;
}

// Text fields commit with Enter and go back with Esc themselves.
bool keepsKeys(const QWidget* w) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(w))
        return !edit->isReadOnly();
    if (const auto* combo = qobject_cast<const QComboBox*>(w))
        return combo->isEditable();
    return qobject_cast<const QAbstractSpinBox*>(w) != nullptr;
}

} // namespace

EditPanel::EditPanel(CShowView* view, CEyeDoc& doc, SettingsStore* store, QWidget* parent)
    : QWidget(parent), view_(view), doc_(doc), store_(store), layout_(new QVBoxLayout(this)),
      page_(new QWidget(this)) {
    setObjectName(QStringLiteral("EditPanel"));
    auto* pageLayout = new QVBoxLayout(page_);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    for (const ButtonEntry& entry : kButtons) {
        auto* b = new QToolButton(page_);
        b->setObjectName(QStringLiteral("editButton%1").arg(entry.id));
        b->setText(res::qtext(entry.textId));
        b->setIcon(ToolIcons::forButton(entry.id));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setMinimumSize(150, 24);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        pageLayout->addWidget(b);
        buttons_[entry.id] = b;
        if (entry.tool != ToolId::None)
            connect(b, &QToolButton::clicked, this, [this, tool = entry.tool] { openTool(tool); });
    }
    pageLayout->addStretch(1);
    connect(buttons_[kSaveButton], &QToolButton::clicked, this, [this] {
        emit saveRequested();
        refreshButtons();
    });
    connect(buttons_[kUndoButton], &QToolButton::clicked, this, &EditPanel::undo);
    layout_->addWidget(page_);
    if (view_)
        connect(view_, &CShowView::pictureChanged, this, &EditPanel::refreshButtons);
    refreshButtons();
}

EditPanel::~EditPanel() {
    // Destroyed with a tool open (the frame going): as Cancel.
    if (panel_)
        cancelTool();
}

QToolButton* EditPanel::button(int id) const {
    const auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

QString EditPanel::title() const {
    return res::qtext(titleOf(current_));
}

bool EditPanel::canOpen(ToolId tool) const {
    // Not while a picture decodes: what is there is not yet the file's.
    if (panel_ || !view_ || !view_->hasPicture() || view_->isLoading() ||
        !EditToolPanel::hasTool(tool))
        return false;
    if (tool == ToolId::Colour) {
        // Levels work on true-colour pictures; a GIF keeps its palette.
        const QString path = view_->currentPath();
        // Read without waiting: this runs on every change of picture.
        return view_->shownSourceBitsPerPixel() >= 24 &&
               !path.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive);
    }
    return true;
}

bool EditPanel::openTool(ToolId tool) {
    return canOpen(tool) && open(tool, nullptr);
}

bool EditPanel::openBatchTool(ToolId tool, BatchHandOver* handOver) {
    if (panel_ || !view_ || !handOver || !EditToolPanel::hasTool(tool))
        return false;
    return open(tool, handOver);
}

bool EditPanel::open(ToolId tool, BatchHandOver* handOver) {
    // A tool works on the named file's own picture only (the viewer's
    // file, or the first of a batch): never on one left from before.
    const std::string named = !handOver                   ? doc_.list().currentPath()
                              : handOver->paths().empty() ? std::string()
                                                          : handOver->paths().front();
    if (!PictureCheck::isOwn(doc_, named, this, res::IDS_MSG_TOOL_PICTURE_NOT_OF_FILE))
        return false;
    // The picture as it is now, whichever mode: Cancel shows it again.
    auto backup = std::make_unique<Backup>();
    backup->picture = doc_.displayed();
    backup->source = doc_.source();
    backup->modified = view_->isModified();
    backup->orientationMark = view_->orientationMark();

    EditContext context;
    context.view = view_;
    context.doc = &doc_;
    context.store = store_;
    context.handOver = handOver;
    EditToolPanel* panel = EditToolPanel::create(tool, context, this);
    if (!panel)
        return false;
    backup_ = std::move(backup);
    undoable_ = false;
    batch_ = handOver != nullptr;
    current_ = tool;
    panel_ = panel;
    connect(panel, &EditToolPanel::finished, this, &EditPanel::toolFinished);
    connect(panel, &EditToolPanel::cancelled, this, &EditPanel::toolCancelled);
    connect(panel, &EditToolPanel::handedOver, this, &EditPanel::toolHandedOver);
    connect(panel, &EditToolPanel::previewChanged, this, [this] {
        if (view_)
            view_->pictureEdited();
    });
    connect(panel, &EditToolPanel::captionChanged, this, &EditPanel::batchCaptionChanged);
    page_->hide();
    layout_->addWidget(panel);
    panel->show();
    view_->setEditLock(true);
    refreshButtons();
    emit titleChanged(title());
    if (batch_)
        emit batchCaptionChanged(panel->batchCaption());
    emit stateChanged();
    return true;
}

void EditPanel::closePanel() {
    EditToolPanel* panel = panel_;
    panel_ = nullptr;
    current_ = ToolId::None;
    if (panel) {
        panel->disconnect(this);
        panel->hide();
        panel->deleteLater();
    }
    page_->show();
    if (view_)
        view_->setEditLock(false);
    if (batch_)
        emit batchCaptionChanged(QString());
    batch_ = false;
    emit titleChanged(title());
    refreshButtons();
    emit stateChanged();
}

void EditPanel::toolFinished() {
    if (!panel_)
        return;
    const bool batch = batch_;
    closePanel();
    if (!view_)
        return;
    if (batch) {
        backup_.reset();
    } else if (backup_) {
        // What the tool left differs from the backup: the picture is changed.
        const bool changed = !samePixels(backup_->picture, doc_.displayed());
        view_->setModified(backup_->modified || changed || view_->isModified());
        undoable_ = true;
    }
    view_->pictureEdited();
    refreshButtons();
}

void EditPanel::restoreBackup() {
    if (!backup_ || !view_)
        return;
    doc_.displayed() = std::move(backup_->picture);
    doc_.setSource(std::move(backup_->source));
    view_->setModified(backup_->modified);
    view_->setOrientationMark(backup_->orientationMark);
    backup_.reset();
    undoable_ = false;
}

void EditPanel::toolCancelled() {
    if (!panel_)
        return;
    closePanel();
    restoreBackup();
    if (view_) {
        view_->setSelectionActive(false);
        view_->pictureEdited();
        view_->setFocus();
    }
    refreshButtons();
}

void EditPanel::toolHandedOver() {
    // The browser runs the batch; the viewer's picture is left as it was.
    if (!panel_)
        return;
    closePanel();
    restoreBackup();
    if (view_)
        view_->pictureEdited();
}

void EditPanel::cancelTool() {
    if (!panel_)
        return;
    // The tool undoes what only it knows about, then says cancelled.
    QPointer<EditToolPanel> panel = panel_;
    panel->cancel();
    if (panel_ == panel)
        toolCancelled(); // a tool that did not answer still goes
}

bool EditPanel::canUndo() const {
    return !panel_ && undoable_ && backup_ && view_ && view_->isModified();
}

void EditPanel::undo() {
    if (!canUndo())
        return;
    restoreBackup();
    view_->pictureEdited();
    refreshButtons();
    emit stateChanged();
}

bool EditPanel::handleKey(QKeyEvent* event) {
    if (!panel_ || event->modifiers() & ~Qt::KeypadModifier)
        return false;
    const int key = event->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Escape)
        return false;
    const QWidget* focus = QApplication::focusWidget();
    if (key != Qt::Key_Escape && focus && panel_->isAncestorOf(focus) && keepsKeys(focus))
        return true; // the field committed its text with it
    if (key == Qt::Key_Escape)
        cancelTool();
    else
        panel_->enterPressed();
    return true;
}

void EditPanel::viewDoubleClicked() {
    if (panel_)
        panel_->viewDoubleClicked();
}

void EditPanel::refreshButtons() {
    const bool picture = view_ && view_->hasPicture();
    for (const ButtonEntry& entry : kButtons)
        if (entry.tool != ToolId::None)
            buttons_[entry.id]->setEnabled(picture && canOpen(entry.tool));
    buttons_[kSaveButton]->setEnabled(!panel_ && view_ && view_->isModified());
    buttons_[kUndoButton]->setEnabled(canUndo());
}

} // namespace kamelo::edit
