#pragma once

#include <QObject>

class QWidget;

namespace kamelo {

// Lets a text field inside a frame have Enter before the frame's commands
// do: the frame-wide Enter commands (크게보기, 목록보기) must not take the
// key from a typed path or from an open label editor, which commit with it.
class EditKeyGuard : public QObject {
public:
    explicit EditKeyGuard(QWidget* frame);
    ~EditKeyGuard() override;

    // True for the widgets that commit their text with Enter.
    static bool takesEnter(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* frame_;
};

} // namespace kamelo
