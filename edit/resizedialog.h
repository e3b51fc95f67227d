#pragma once

#include "edit/core/resizerule.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

namespace kamelo {
class SettingsStore;
}

namespace kamelo::edit {

class ResizeForm;

// "크기 변환" of the browser: the resize choices and where to write.
class ResizeDialog : public QDialog {
    Q_OBJECT
public:
    ResizeDialog(const ResizeSettings& settings, const QString& folder, QWidget* parent = nullptr);
    ResizeSettings settings() const;
    QString folder() const;
    ResizeForm* form() const { return form_; }

    void accept() override;

    // The dialog over the browser's selection, then the batch run;
    // onStopped is called on context's thread once the run has stopped.
    static void resizeFiles(QWidget* parent, SettingsStore& store, std::vector<std::string> sources,
                            const QString& currentFolder, bool upright, QObject* context,
                            std::function<void(int)> onStopped);

private:
    ResizeForm* form_;
};

} // namespace kamelo::edit
