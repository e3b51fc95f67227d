#include "preferencessheet.h"

#include "prefs/associatepage.h"
#include "prefs/etcpage.h"
#include "prefs/thumbnailpage.h"
#include "resources/qtstrings.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kamelo::prefs {

namespace {
SlideShowPageFactory& slideShowFactory() {
    static SlideShowPageFactory factory;
    return factory;
}
} // namespace

void setSlideShowPageFactory(SlideShowPageFactory factory) {
    slideShowFactory() = std::move(factory);
}

CPreferencesSheet::CPreferencesSheet(CUiSettings& settings, SettingsStore& store,
                                     const QString& samplePath, QWidget* parent)
    : QDialog(parent), tree_(new QTreeWidget(this)), stack_(new QStackedWidget(this)) {
    setWindowTitle(res::qtext(res::IDS_PREFERENCES_CAPTION));
    setObjectName(QStringLiteral("CPreferencesSheet"));
    tree_->setObjectName(QStringLiteral("PageTree"));
    tree_->setWindowTitle(QStringLiteral("PageTree"));
    tree_->header()->hide();
    tree_->setRootIsDecorated(false);
    tree_->setFixedWidth(150);

    auto* thumbs = new CThumbnailPage(settings, samplePath, stack_);
    addPage(thumbs, [thumbs] { thumbs->ok(); });
    auto* assoc = new CAssociatePage(store, stack_);
    addPage(assoc, [assoc] { assoc->ok(); });
    if (slideShowFactory()) {
        ForeignPage slides = slideShowFactory()(store, stack_);
        if (slides.widget) {
            if (slides.widget->windowTitle().isEmpty())
                slides.widget->setWindowTitle(res::qtext(res::IDS_PREF_SLIDESHOW_PAGE));
            addPage(slides.widget, slides.ok);
        }
    }
    auto* etc = new CETCPage(settings, store, stack_);
    addPage(etc, [etc] { etc->ok(); });

    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item)
            stack_->setCurrentIndex(tree_->indexOfTopLevelItem(item));
    });
    tree_->setCurrentItem(tree_->topLevelItem(0));

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(res::qtext(res::IDS_OK), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(res::qtext(res::IDS_CANCEL), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(tree_);
    row->addWidget(stack_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

void CPreferencesSheet::addPage(QWidget* page, std::function<void()> ok) {
    stack_->addWidget(page);
    new QTreeWidgetItem(tree_, {page->windowTitle()});
    okSteps_.push_back(std::move(ok));
}

int CPreferencesSheet::pageCount() const {
    return stack_->count();
}

QWidget* CPreferencesSheet::page(int index) const {
    return stack_->widget(index);
}

void CPreferencesSheet::accept() {
    // A field still being typed in takes its clamped value first.
    if (QWidget* focus = focusWidget())
        focus->clearFocus();
    for (const auto& ok : okSteps_)
        if (ok)
            ok();
    QDialog::accept();
}

} // namespace kamelo::prefs
