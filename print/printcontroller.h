#pragma once

#include "print/printergeometry.h"
#include "print/printjob.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace kamelo {

class PictureReader;
class SettingsStore;

// The print commands of both frames: checks for a printer, keeps the
// pictures in the application's print list, runs the print dialog, the
// platform's print dialog and the job with a cancellable progress window.
class PrintController : public QObject {
    Q_OBJECT
public:
    PrintController(QWidget* window, SettingsStore* store, std::vector<std::string>& fileList);
    ~PrintController() override;

    // Prints the pictures among paths (list order kept, other files left out).
    void print(const std::vector<std::string>& paths);

    // Seams for tests: messages, the page source and the pictures.
    void setMessageSink(std::function<void(const QString&)> sink) { sink_ = std::move(sink); }
    void setPageSource(std::shared_ptr<PageGeometrySource> source) { source_ = std::move(source); }
    void setPictureReader(std::shared_ptr<PictureReader> reader) { reader_ = std::move(reader); }

private:
    void message(const QString& text);
    void runJob(const PrintJob& job, const PrinterPage& page);

    QWidget* window_;
    SettingsStore* store_;
    std::vector<std::string>& fileList_;
    std::function<void(const QString&)> sink_;
    std::shared_ptr<PageGeometrySource> source_;
    std::shared_ptr<PictureReader> reader_;
};

} // namespace kamelo
