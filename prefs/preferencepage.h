#pragma once

#include <QWidget>

namespace kamelo::prefs {

// One page of the preferences sheet: it copies the settings into its
// controls when made and writes them back on OK.
class PreferencePage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void ok() = 0;

signals:
    // A value the controls' own signals do not show (a chosen colour).
    void changed();
};

} // namespace kamelo::prefs
