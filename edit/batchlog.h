#pragma once

#include <QPlainTextEdit>

namespace kamelo::edit {

// The read-only log of a batch run. The text keeps every line whole (to
// select and copy); what is painted is each line shortened in the middle to
// the width of the view, so that both ends of a long path stay readable at
// any size of the dialog. A shortened line shows whole in its tooltip.
class BatchLog : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit BatchLog(QWidget* parent = nullptr);

    // Line number (0-based) as painted now.
    QString shownLine(int line) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    int lineWidth() const;
};

} // namespace kamelo::edit
