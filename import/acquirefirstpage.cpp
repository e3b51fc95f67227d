#include "acquirefirstpage.h"

#include "resources/qtstrings.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kamelo::acquire {

CAquireFirstPage::CAquireFirstPage(QWidget* parent) : QWizardPage(parent) {
    setTitle(res::qtext(res::IDS_ACQUIRE_WELCOME));
    auto* text = new QLabel(res::qtext(res::IDS_ACQUIRE_WELCOME_TEXT), this);
    text->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addStretch();
}

} // namespace kamelo::acquire
