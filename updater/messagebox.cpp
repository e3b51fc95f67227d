#include "updater/messagebox.h"

#include "updater/updaterstrings.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace vela {

namespace {

QString q(Str id) {
    auto t = text(id);
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

QFont gulim(int points) {
    QFont font(QStringLiteral("굴림"));
    font.setPointSize(points);
    return font;
}

// The title strip, filled column by column.
class TitleStrip : public QWidget {
public:
    TitleStrip(const QString& caption, QWidget* parent) : QWidget(parent), caption_(caption) {
        setObjectName(QStringLiteral("ctl1077"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        for (int x = 0; x < width(); ++x) {
            p.setPen(titleStripColour(x, width()));
            p.drawLine(x, 0, x, height() - 1);
        }
        QFont font(QStringLiteral("굴림"));
        font.setPixelSize(12);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral(" ") + caption_);
    }

private:
    QString caption_;
};

} // namespace

MessageBoxLayout messageBoxLayout(int textWidth, int textHeight, int type, bool noButtons) {
    MessageBoxLayout l;
    const int w = std::max(textWidth, 50);
    const int h = textHeight;
    const int hh = std::max(h, 32);
    l.window = QSize(w + 82, noButtons ? hh + 85 : hh + 110);
    l.strip = QRect(5, 5, l.window.width() - 10, 20);
    l.frame = QRect(7, 30, w + 62, hh + 40);
    l.icon = QRect(17, (hh + 8) / 2 + 30, 32, 32);
    l.text = QRect(59, (hh - h + 40) / 2 + 30, w, h);
    const int y = hh + 75;
    if (noButtons) {
        l.buttonCount = 0;
    } else if (type == kBoxOk) {
        l.buttonCount = 1;
        l.buttons[0] = QRect(w - 6, y, 70, 25);
    } else {
        l.buttonCount = 2;
        l.buttons[0] = QRect(w - 81, y, 70, 25);
        l.buttons[1] = QRect(w - 6, y, 70, 25);
    }
    return l;
}

QColor titleStripColour(int x, int width) {
    const int span = std::max(width - 1, 1);
    const auto mix = [&](int from, int to) { return from + (to - from) * x / span; };
    return QColor(mix(0, 140), mix(0, 161), mix(200, 255));
}

MessageBox::MessageBox(QWidget* parent, const QString& text, const QString& caption, int type,
                       int flags, int icon)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), type_(type), flags_(flags),
      iconKind_(icon != kIconByType ? icon
                : type == kBoxOk    ? kIconInformation
                                    : kIconQuestion),
      caption_(caption.isEmpty() ? q(Str::STR_CAPTION) : caption) {
    setWindowTitle(caption_);
    setModal(true);
    strip_ = new TitleStrip(caption_, this);
    frame_ = new QWidget(this);
    frame_->setObjectName(QStringLiteral("ctl1072"));
    frame_->setAttribute(Qt::WA_TransparentForMouseEvents);
    frame_->setStyleSheet(QStringLiteral("#ctl1072 { border: 1px solid #808080; }"));
    icon_ = new QLabel(this);
    icon_->setObjectName(QStringLiteral("ctl1073"));
    const QStyle::StandardPixmap pixmap = iconKind_ == kIconWarning ? QStyle::SP_MessageBoxWarning
                                          : iconKind_ == kIconQuestion
                                              ? QStyle::SP_MessageBoxQuestion
                                              : QStyle::SP_MessageBoxInformation;
    icon_->setPixmap(style()->standardIcon(pixmap).pixmap(32, 32));
    icon_->setAttribute(Qt::WA_TransparentForMouseEvents);
    textLabel_ = new QLabel(this);
    textLabel_->setObjectName(QStringLiteral("ctl1075"));
    textLabel_->setFont(gulim(9));
    textLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (!(flags & kNoticeNoButtons)) {
        const bool yesNo = type == kBoxYesNo;
        buttons_[0] = new QPushButton(q(yesNo ? Str::STR_BUTTON_YES : Str::STR_BUTTON_OK), this);
        connect(buttons_[0], &QPushButton::clicked, this, [this] { pressButton(0); });
        if (type != kBoxOk) {
            buttons_[1] =
                new QPushButton(q(yesNo ? Str::STR_BUTTON_NO : Str::STR_BUTTON_CANCEL), this);
            connect(buttons_[1], &QPushButton::clicked, this, [this] { pressButton(1); });
        }
        for (auto* b : buttons_)
            if (b)
                b->setAutoDefault(false);
    }
    setText(text);
    if (buttons_[0])
        buttons_[0]->setFocus();
}

void MessageBox::setText(const QString& text) {
    textLabel_->setText(text);
    const QFontMetrics metrics(textLabel_->font());
    int w = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines)
        w = std::max(w, metrics.horizontalAdvance(line));
    const int h = metrics.lineSpacing() * static_cast<int>(lines.size());
    layout_ = messageBoxLayout(w, h, type_, flags_ & kNoticeNoButtons);
    place();
}

void MessageBox::place() {
    setFixedSize(layout_.window);
    strip_->setGeometry(layout_.strip);
    frame_->setGeometry(layout_.frame);
    icon_->setGeometry(layout_.icon);
    textLabel_->setGeometry(layout_.text);
    for (int i = 0; i < 2; ++i)
        if (buttons_[i])
            buttons_[i]->setGeometry(layout_.buttons[i]);
    QWidget* over = parentWidget();
    const QRect area = over ? over->geometry()
                            : (screen() ? screen()->availableGeometry() : QRect(0, 0, 800, 600));
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void MessageBox::pressButton(int i) {
    if (type_ == kBoxYesNo)
        done(i == 0 ? kIdYes : kIdNo);
    else
        done(i == 0 ? kIdOk : kIdCancel);
}

void MessageBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter acts as the space bar: it presses the focused button.
        if (auto* b = qobject_cast<QPushButton*>(focusWidget()))
            b->click();
        return;
    case Qt::Key_Escape:
        if ((type_ == kBoxOkCancel || type_ == kBoxYesNo) && buttons_[1])
            buttons_[1]->click();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void MessageBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    QDialog::mousePressEvent(event);
}

void MessageBox::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        move(event->globalPosition().toPoint() - dragOffset_);
    QDialog::mouseMoveEvent(event);
}

void MessageBox::answerAfter(int ms) {
    unanswered_.setSingleShot(true);
    connect(&unanswered_, &QTimer::timeout, this,
            [this] { pressButton(type_ == kBoxOk || !buttons_[1] ? 0 : 1); });
    unanswered_.start(ms);
}

int MessageBox::ask(QWidget* parent, const QString& text, int type, const QString& caption,
                    int icon, int timeoutMs) {
    MessageBox box(parent, text, caption, type, 0, icon);
    if (timeoutMs > 0)
        box.answerAfter(timeoutMs);
    return box.exec();
}

KMessageBoxWnd::KMessageBoxWnd(QWidget* parent, const QString& text, const QString& caption,
                               int type, int flags, int count)
    : MessageBox(parent, text, caption, type, flags), pattern_(text), count_(count) {
    setObjectName(QStringLiteral("KMessageBoxWnd"));
    setWindowFlag(Qt::Tool);
    if (pattern_.contains(QStringLiteral("%d")))
        setText(QString(pattern_).replace(QStringLiteral("%d"), QString::number(count_)));
    if (flags & kNoticeCountDown) {
        connect(&timer_, &QTimer::timeout, this, &KMessageBoxWnd::tick);
        timer_.start(1000);
    }
}

void KMessageBoxWnd::tick() {
    --count_;
    if (pattern_.contains(QStringLiteral("%d")))
        setText(QString(pattern_).replace(QStringLiteral("%d"), QString::number(count_)));
    if (count_ > 0)
        return;
    timer_.stop();
    if (button(0))
        button(0)->click();
    else
        done(kIdOk);
}

void KMessageBoxWnd::closeBox() {
    timer_.stop();
    done(kIdCancel);
}

int KMessageBoxWnd::notice(QWidget* parent, const QString& text, const QString& caption) {
    // Modal: the parent takes no input while the notice shows.
    KMessageBoxWnd box(parent, text, caption, kBoxOk, kNoticeCountDown | kNoticeNoButtons, 1);
    return box.exec();
}

} // namespace vela
