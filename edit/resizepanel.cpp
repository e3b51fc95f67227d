#include "resizepanel.h"

#include "base/settingsstore.h"
#include "resizeform.h"
#include "resizeops.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace kamelo::edit {

ResizePanel::ResizePanel(const EditContext& context, QWidget* parent)
    : EditToolPanel(context, parent), form_(new ResizeForm(false, this)) {
    setObjectName(QStringLiteral("ResizePanel"));
    if (context_.store)
        form_->setSettings(ResizeSettings::read(*context_.store));
    auto* ok = new QPushButton(res::qtext(res::IDS_OK), this);
    ok->setObjectName(QStringLiteral("ok"));
    auto* cancel = new QPushButton(res::qtext(res::IDS_CANCEL), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(ok, &QPushButton::clicked, this, &ResizePanel::ok);
    connect(cancel, &QPushButton::clicked, this, [this] { this->cancel(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(res::qtext(res::IDS_ONE_PICTURE_SELECTED), this));
    layout->addWidget(form_);
    layout->addLayout(buttons);
    layout->addStretch();
}

void ResizePanel::ok() {
    const QString problem = form_->problem();
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, res::qtext(res::IDS_RESIZE_TOOL), problem);
        return;
    }
    const ResizeSettings s = form_->settings();
    if (context_.store)
        s.write(*context_.store, false);
    std::string reason;
    if (!context_.doc || ResizeOps::apply(context_.doc->displayed(), s, reason) < 1) {
        // The picture is as it was; the user may choose another size.
        QMessageBox::warning(this, res::qtext(res::IDS_RESIZE_TOOL),
                             res::qtext(res::IDS_MSG_RESIZE_FAILED));
        return;
    }
    if (context_.view)
        context_.view->setModified(true);
    emit previewChanged();
    emit finished();
}

} // namespace kamelo::edit
