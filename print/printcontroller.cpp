#include "printcontroller.h"

#include "base/pictureextensions.h"
#include "print/core/printlayout.h"
#include "print/picturereader.h"
#include "print/printdialog.h"
#include "print/printjob.h"
#include "print/printrun.h"
#include "resources/qtstrings.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>

#include <atomic>
#include <filesystem>
#include <thread>

namespace kamelo {

PrintController::PrintController(QWidget* window, SettingsStore* store,
                                 std::vector<std::string>& fileList)
    : QObject(window), window_(window), store_(store), fileList_(fileList),
      source_(std::make_shared<PrinterGeometry>()), reader_(std::make_shared<FilePictureReader>()) {
}

PrintController::~PrintController() = default;

void PrintController::message(const QString& text) {
    if (sink_)
        sink_(text);
    else
        QMessageBox::warning(window_, res::qtext(res::IDS_PRINT_BUTTON), text);
}

void PrintController::print(const std::vector<std::string>& paths) {
    const std::optional<PrinterPage> page = source_->currentPage();
    if (!page) {
        message(res::qtext(res::IDS_MSG_NO_PRINTER));
        return;
    }
    fileList_.clear();
    for (const std::string& p : paths)
        if (PictureExtensions::isPicturePath(p))
            fileList_.push_back(p);
    if (fileList_.empty()) {
        message(res::qtext(res::IDS_MSG_NO_FILE_SELECTED));
        return;
    }
    PrintDialog dialog(fileList_, *page, store_, reader_, window_);
    if (dialog.exec() != QDialog::Accepted) {
        fileList_.clear();
        return;
    }
    runJob(dialog.job());
    fileList_.clear();
}

void PrintController::runJob(const PrintJob& job) {
    const std::optional<QPrinterInfo> info = PrinterGeometry::defaultPrinter();
    if (!info) {
        message(res::qtext(res::IDS_MSG_NO_PRINTER));
        return;
    }
    QPrinter printer(*info, QPrinter::HighResolution);
    printer.setDocName(job.title());
    QPrintDialog platform(&printer, window_);
    platform.setOption(QAbstractPrintDialog::PrintPageRange, true);
    platform.setMinMax(1, std::max(1, job.pageCount(PrinterGeometry::of(printer))));
    if (platform.exec() != QDialog::Accepted)
        return;
    // The paper may have changed in the platform's dialog: the layout is
    // made again for it (the settings are in millimetres).
    if (const PrintRefusal r =
            checkPrintable(job.settings, PrinterGeometry::of(printer), printer.copyCount())) {
        message(QString::fromStdString(refusalMessage(r)));
        return;
    }
    QProgressDialog progress(window_);
    progress.setWindowTitle(job.title());
    progress.setCancelButtonText(res::qtext(res::IDS_CANCEL));
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    std::atomic<bool> cancel{false};
    connect(&progress, &QProgressDialog::canceled, &progress, [&cancel] { cancel = true; });
    QEventLoop loop;
    PrintRun::Outcome outcome;
    std::shared_ptr<PictureReader> reader = reader_;
    // QPainter may paint a QPrinter on another thread; the window stays alive
    // and the job can be cancelled between pictures.
    std::thread worker([&] {
        outcome = PrintRun::run(printer, job, *reader, [&](int done, int total) {
            QMetaObject::invokeMethod(
                &progress,
                [&progress, done, total] {
                    progress.setMaximum(total);
                    progress.setValue(done);
                    progress.setLabelText(QString::fromStdString(
                        res::format(res::IDS_PRINT_PROGRESS, std::min(done + 1, total), total)));
                },
                Qt::QueuedConnection);
            return !cancel;
        });
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    progress.close();
    if (!outcome.started) {
        message(res::qtext(res::IDS_PRINT_CANNOT_START));
        return;
    }
    if (outcome.cancelled)
        return;
    if (!outcome.failed.empty()) {
        QString names;
        for (const std::string& f : outcome.failed)
            names += QString::fromStdString(std::filesystem::path(f).filename().string()) +
                     QLatin1Char('\n');
        message(QString::fromStdString(
            res::format(res::IDS_PRINT_FAILED_PICTURES, names.trimmed().toStdString().c_str())));
    }
}

} // namespace kamelo
