#include "preferencessheet.h"

#include "prefs/associatepage.h"
#include "prefs/etcpage.h"
#include "prefs/thumbnailpage.h"
#include "resources/qtstrings.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
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
    watchChanges(thumbs);
    // The association page writes each row as it is clicked: nothing of it
    // waits for "적용".
    auto* assoc = new CAssociatePage(store, stack_);
    addPage(assoc, [assoc] { assoc->ok(); });
    if (slideShowFactory()) {
        ForeignPage slides = slideShowFactory()(store, stack_);
        if (slides.widget) {
            if (slides.widget->windowTitle().isEmpty())
                slides.widget->setWindowTitle(res::qtext(res::IDS_PREF_SLIDESHOW_PAGE));
            addPage(slides.widget, slides.ok);
            watchChanges(slides.widget);
        }
    }
    auto* etc = new CETCPage(settings, store, stack_);
    addPage(etc, [etc] { etc->ok(); });
    watchChanges(etc);
    connect(etc, &PreferencePage::changed, this, &CPreferencesSheet::markChanged);

    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item)
            stack_->setCurrentIndex(tree_->indexOfTopLevelItem(item));
    });
    tree_->setCurrentItem(tree_->topLevelItem(0));

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(res::qtext(res::IDS_OK), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(res::qtext(res::IDS_CANCEL), QDialogButtonBox::RejectRole);
    apply_ = buttons->addButton(res::qtext(res::IDS_SHEET_APPLY), QDialogButtonBox::ApplyRole);
    apply_->setObjectName(QStringLiteral("applyButton"));
    apply_->setEnabled(false);
    connect(apply_, &QPushButton::clicked, this, &CPreferencesSheet::apply);
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

void CPreferencesSheet::watchChanges(QWidget* page) {
    // The controls' own change signals, so that a page made elsewhere (the
    // slide show's) needs nothing of the sheet. Only user edits reach them
    // once the page has shown its values.
    for (auto* b : page->findChildren<QAbstractButton*>())
        if (b->isCheckable())
            connect(b, &QAbstractButton::toggled, this, &CPreferencesSheet::markChanged);
    for (auto* s : page->findChildren<QAbstractSlider*>())
        connect(s, &QAbstractSlider::valueChanged, this, &CPreferencesSheet::markChanged);
    for (auto* e : page->findChildren<QLineEdit*>())
        connect(e, &QLineEdit::textEdited, this, &CPreferencesSheet::markChanged);
    for (auto* c : page->findChildren<QComboBox*>())
        connect(c, &QComboBox::currentIndexChanged, this, &CPreferencesSheet::markChanged);
    for (auto* s : page->findChildren<QSpinBox*>())
        connect(s, &QSpinBox::valueChanged, this, &CPreferencesSheet::markChanged);
    for (auto* t : page->findChildren<QTreeWidget*>())
        connect(t, &QTreeWidget::itemChanged, this, &CPreferencesSheet::markChanged);
    for (auto* l : page->findChildren<QListWidget*>())
        connect(l, &QListWidget::itemChanged, this, &CPreferencesSheet::markChanged);
}

void CPreferencesSheet::markChanged() {
    apply_->setEnabled(true);
}

void CPreferencesSheet::writePages() {
    // A field still being typed in takes its clamped value first.
    if (QWidget* focus = focusWidget())
        focus->clearFocus();
    for (const auto& ok : okSteps_)
        if (ok)
            ok();
}

void CPreferencesSheet::apply() {
    if (!apply_->isEnabled())
        return;
    QWidget* focus = focusWidget();
    writePages();
    apply_->setEnabled(false);
    if (focus && focus->isEnabled())
        focus->setFocus();
    emit applied();
}

void CPreferencesSheet::accept() {
    writePages();
    QDialog::accept();
}

} // namespace kamelo::prefs
