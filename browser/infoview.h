#pragma once

#include <QTabWidget>

namespace kamelo {

// The preview / image information pane of the browser frame (row 1 of the
// left column), a tab control with the pages "미리보기" and "이미지정보".
class CInfoView : public QTabWidget {
    Q_OBJECT
public:
    explicit CInfoView(QWidget* parent = nullptr);

    QWidget* previewPage() const { return preview_; }
    QWidget* infoPage() const { return info_; }

private:
    QWidget* preview_;
    QWidget* info_;
};

} // namespace kamelo
