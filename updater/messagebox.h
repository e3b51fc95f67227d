#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>

class QLabel;
class QPushButton;

namespace vela {

// Button types of the message boxes.
enum MessageBoxType { kBoxOk = 0, kBoxOkCancel = 1, kBoxYesNo = 4 };
// Results: OK, Cancel, Yes, No.
enum MessageBoxResult { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };
// Icons: the information icon for notices, the question icon for
// questions, the warning icon for failures. kIconByType picks the first two
// by the button type.
enum MessageBoxIcon { kIconByType = -1, kIconInformation = 0, kIconQuestion, kIconWarning };
// Timed notice flags: count down and press the first button; no buttons.
enum NoticeFlags { kNoticeCountDown = 1, kNoticeNoButtons = 2 };

// Where everything of a message box goes, from the measured text size.
struct MessageBoxLayout {
    QSize window;
    QRect strip;
    QRect frame;
    QRect icon;
    QRect text;
    int buttonCount = 0;
    QRect buttons[2];
};

MessageBoxLayout messageBoxLayout(int textWidth, int textHeight, int type, bool noButtons);

// The colour of column `x` of a title strip `width` pixels wide: from RGB
// 0,0,200 on the left to 140,161,255 on the right.
QColor titleStripColour(int x, int width);

// The updater's message box: a gradient title strip with the caption, a
// frame, an icon, the text and its buttons; dragged by its body.
class MessageBox : public QDialog {
    Q_OBJECT
public:
    MessageBox(QWidget* parent, const QString& text, const QString& caption, int type,
               int flags = 0, int icon = kIconByType);

    // Shows it modally; returns kIdOk, kIdCancel, kIdYes or kIdNo. With a
    // timeout (ms, 0 for none) nobody's answer is the last button's: OK,
    // Cancel or No.
    static int ask(QWidget* parent, const QString& text, int type,
                   const QString& caption = QString(), int icon = kIconByType, int timeoutMs = 0);

    // Presses the last button after `ms` unless the user answers first.
    void answerAfter(int ms);

    // The icon shown (a MessageBoxIcon other than kIconByType).
    int iconKind() const { return iconKind_; }

    const MessageBoxLayout& boxLayout() const { return layout_; }
    QPushButton* button(int i) const { return buttons_[i]; }
    QLabel* textLabel() const { return textLabel_; }

protected:
    void setText(const QString& text);
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void pressButton(int i);

    int type_;
    int flags_;
    int iconKind_;

private:
    void place();
    QString caption_;
    MessageBoxLayout layout_;
    QWidget* strip_ = nullptr;
    QWidget* frame_ = nullptr;
    QLabel* icon_ = nullptr;
    QLabel* textLabel_ = nullptr;
    QPushButton* buttons_[2] = {nullptr, nullptr};
    QPoint dragOffset_;
    QTimer unanswered_;
};

// The timed notice: the same look, centred over its parent (disabled while
// it shows). Flag kNoticeCountDown counts `count` seconds down, putting the
// remaining count into a "%d" of the text, and then presses the first
// button; kNoticeNoButtons shows none.
class KMessageBoxWnd : public MessageBox {
    Q_OBJECT
public:
    KMessageBoxWnd(QWidget* parent, const QString& text, const QString& caption, int type,
                   int flags, int count);
    // Shows a notice and returns when it has closed.
    static int notice(QWidget* parent, const QString& text, const QString& caption = QString());

public slots:
    // "WM_KMESSAGEBOX_CLOSE".
    void closeBox();

private:
    void tick();
    QString pattern_;
    int count_;
    QTimer timer_;
};

} // namespace vela
