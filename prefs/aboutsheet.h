#pragma once

#include <QDialog>
#include <QWidget>

class QTabWidget;

namespace kamelo::prefs {

// The program's name and version.
class CAboutPage : public QWidget {
    Q_OBJECT
public:
    explicit CAboutPage(QWidget* parent = nullptr);
};

// A read-only text of the program's resources, shown as stored.
class CTextPage : public QWidget {
    Q_OBJECT
public:
    CTextPage(const QString& resource, const QString& title, QWidget* parent = nullptr);
    QString text() const;

private:
    QString text_;
};

// "카멜로": about, the keyboard shortcuts (CAccelPage) and the change
// history; no apply button.
class CAboutSheet : public QDialog {
    Q_OBJECT
public:
    explicit CAboutSheet(QWidget* parent = nullptr);
    QTabWidget* tabs() const { return tabs_; }

    // The text resources (UTF-8).
    static QString acceleratorText();
    static QString updateHistoryText();

private:
    QTabWidget* tabs_;
};

} // namespace kamelo::prefs
