#include "printcontroller.h"

#include "base/pictureextensions.h"
#include "base/programfolders.h"
#include "chrome/namemessagebox.h"
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
        NameMessageBox::warning(window_, res::qtext(res::IDS_PRINT_BUTTON), text);
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
    dialog.setPageSource(source_);
    if (dialog.exec() != QDialog::Accepted) {
        fileList_.clear();
        return;
    }
    runJob(dialog.job(), dialog.printerPage());
    fileList_.clear();
}

void PrintController::runJob(const PrintJob& job, const PrinterPage& page) {
    // The printer and paper the preview showed; the default printer when
    // that one has gone meanwhile.
    QPrinter printer(QPrinter::HighResolution);
    if (!PrinterGeometry::choose(printer, page.printerName, page.paperKey)) {
        const std::optional<QPrinterInfo> info = PrinterGeometry::defaultPrinter();
        if (!info || !PrinterGeometry::choose(printer, info->printerName())) {
            message(res::qtext(res::IDS_MSG_NO_PRINTER));
            return;
        }
    }
    printer.setDocName(job.title());
    QPrintDialog platform(&printer, window_);
    platform.setOption(QAbstractPrintDialog::PrintPageRange, true);
    platform.setMinMax(1, std::max(1, job.pageCount(PrinterGeometry::of(printer))));
    if (platform.exec() != QDialog::Accepted)
        return;
    // Qt's dialog hands back the queue's default paper whenever the paper
    // was not changed in it: the paper chosen for the preview then stays.
    const QPrinterInfo chosen = QPrinterInfo::printerInfo(printer.printerName());
    if (chosen.printerName() == page.printerName &&
        printer.pageLayout().pageSize().key() == chosen.defaultPageSize().key())
        PrinterGeometry::choose(printer, page.printerName, page.paperKey);
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
    const std::string tempFolder = ProgramFolders::prepare(ProgramFolders::executableFolder()).temp;
    // QPainter may paint a QPrinter on another thread; the window stays alive
    // and the job can be cancelled between pictures.
    std::thread worker([&] {
        outcome = PrintRun::run(
            printer, job, *reader,
            [&](int done, int total) {
                QMetaObject::invokeMethod(
                    &progress,
                    [&progress, done, total] {
                        progress.setMaximum(total);
                        progress.setValue(done);
                        progress.setLabelText(QString::fromStdString(res::format(
                            res::IDS_PRINT_PROGRESS, std::min(done + 1, total), total)));
                    },
                    Qt::QueuedConnection);
                return !cancel;
            },
            tempFolder);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    progress.close();
    if (!outcome.started) {
        message(outcome.error.empty() ? res::qtext(res::IDS_PRINT_CANNOT_START)
                                      : QString::fromUtf8(res::format(res::IDS_PRINT_SUBMIT_FAILED,
                                                                      outcome.error.c_str())));
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
