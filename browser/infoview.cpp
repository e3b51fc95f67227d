#include "infoview.h"

#include "resources/qtstrings.h"

namespace kamelo {

CInfoView::CInfoView(QWidget* parent)
    : QTabWidget(parent), preview_(new QWidget(this)), info_(new QWidget(this)) {
    setObjectName(QStringLiteral("CInfoView"));
    addTab(preview_, res::qtext(res::IDS_TAB_PREVIEW));
    addTab(info_, res::qtext(res::IDS_TAB_IMAGE_INFO));
    setMinimumSize(0, 0);
}

} // namespace kamelo
