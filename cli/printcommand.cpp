#include "printcommand.h"

#include "base/pictureextensions.h"
#include "base/programfolders.h"
#include "base/settingsstore.h"
#include "cli/commandhelp.h"
#include "print/core/printlayout.h"
#include "print/picturereader.h"
#include "print/printergeometry.h"
#include "print/printrun.h"
#include "resources/stringtable.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

#include <cstdio>
#include <ostream>
#include <sstream>

namespace kamelo {

namespace {

bool parseInt(const std::string& s, int& v) {
    std::istringstream in(s);
    char rest;
    return bool(in >> v) && !(in >> rest);
}

bool parsePair(const std::string& s, char sep, double& a, double& b) {
    std::istringstream in(s);
    char mid = 0, rest;
    return bool(in >> a >> mid >> b) && mid == sep && !(in >> rest);
}

bool parseMargins(const std::string& s, PrintSettings& p) {
    std::istringstream in(s);
    int v[4];
    char c1, c2, c3, rest;
    if (!(in >> v[0] >> c1 >> v[1] >> c2 >> v[2] >> c3 >> v[3]) || c1 != ',' || c2 != ',' ||
        c3 != ',' || (in >> rest))
        return false;
    p.leftMargin = v[0];
    p.topMargin = v[1];
    p.rightMargin = v[2];
    p.bottomMargin = v[3];
    return true;
}

bool parseSize(const std::string& s, PrintSettings& p) {
    static const std::pair<const char*, PrintSize> named[] = {{"fit", PrintSize::FitPage},
                                                              {"3x5", PrintSize::Size3x5},
                                                              {"4x6", PrintSize::Size4x6},
                                                              {"5x7", PrintSize::Size5x7},
                                                              {"10x8", PrintSize::Size10x8}};
    for (const auto& [name, size] : named)
        if (s == name) {
            p.size = size;
            return true;
        }
    double w = 0, h = 0;
    if (!parsePair(s, 'x', w, h))
        return false;
    p.size = PrintSize::Custom;
    p.userWidth = w;
    p.userHeight = h;
    return true;
}

} // namespace

int runPrintCommand(const SettingsStore& store, const std::vector<std::string>& args,
                    std::ostream& out, std::ostream& err) {
    PrintJob job;
    // Stored values outside their ranges are used clamped, and said so once.
    std::vector<std::string> clamped;
    job.settings.load(store, &clamped);
    if (!clamped.empty()) {
        err << "저장된 인쇄 설정 중 범위를 벗어난 값을 고쳐서 씁니다:";
        for (size_t i = 0; i < clamped.size(); ++i)
            err << (i ? ", " : " ") << clamped[i];
        err << "\n";
    }
    std::string pdf, printerName;
    int copies = 1;
    bool sheetGiven = false, sizeGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        auto value = [&]() -> const std::string& { return args[++i]; };
        PrintSettings& s = job.settings;
        if (a == "--pdf" && hasValue) {
            pdf = value();
        } else if (a == "--printer" && hasValue) {
            printerName = value();
        } else if (a == "--sheet" && hasValue) {
            double c = 0, r = 0;
            if (!parsePair(value(), 'x', c, r) || c != int(c) || r != int(r)) {
                err << clihelp::usage("print");
                return 2;
            }
            s.radioSheet = 1;
            s.columnCount = int(c);
            s.rowCount = int(r);
            sheetGiven = true;
        } else if (a == "--size" && hasValue) {
            if (!parseSize(value(), s)) {
                err << clihelp::usage("print");
                return 2;
            }
            s.radioSheet = 0;
            sizeGiven = true;
        } else if (a == "--margins" && hasValue) {
            if (!parseMargins(value(), s)) {
                err << clihelp::usage("print");
                return 2;
            }
        } else if (a == "--header" && hasValue) {
            s.header = value();
            s.drawHeader = 1;
        } else if (a == "--footer" && hasValue) {
            s.footer = value();
            s.drawFooter = 1;
        } else if (a == "--caption" && hasValue) {
            s.caption = value();
            s.drawCaption = 1;
        } else if (a == "--copies" && hasValue) {
            if (!parseInt(value(), copies)) {
                err << clihelp::usage("print");
                return 2;
            }
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            err << clihelp::usage("print");
            return 2;
        } else {
            job.files.push_back(a);
        }
    }
    if (pdf.empty() == printerName.empty() || (sheetGiven && sizeGiven)) {
        err << clihelp::usage("print");
        return 2;
    }
    std::vector<std::string> pictures;
    for (const std::string& f : job.files) {
        if (PictureExtensions::isPicturePath(f))
            pictures.push_back(f);
        else
            err << f << ": 그림 파일이 아니어서 뺐습니다.\n";
    }
    job.files = pictures;
    if (job.files.empty()) {
        err << res::text(res::IDS_MSG_NO_FILE_SELECTED) << "\n";
        return 2;
    }

    QPrinter printer(QPrinter::HighResolution);
    if (!pdf.empty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        // Enough for photographs, and the file stays small.
        printer.setResolution(300);
        printer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    } else {
        if (QPrinterInfo::availablePrinterNames().isEmpty()) {
            err << res::text(res::IDS_MSG_NO_PRINTER) << "\n";
            return 2;
        }
        const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(printerName));
        if (info.isNull()) {
            err << printerName << ": 그런 이름의 프린터가 없습니다.\n";
            return 2;
        }
        // The queue's own default paper, not the one Qt started with.
        PrinterGeometry::choose(printer, info.printerName());
    }
    printer.setCopyCount(std::max(1, copies));
    const PageGeometry page = PrinterGeometry::of(printer);
    if (const PrintRefusal r = checkPrintable(job.settings, page, copies)) {
        err << refusalMessage(r) << "\n";
        return 2;
    }
    printer.setDocName(job.title());
    FilePictureReader reader;
    const PrintRun::Outcome o = PrintRun::run(
        printer, job, reader, {}, ProgramFolders::prepare(ProgramFolders::executableFolder()).temp);
    if (!o.started) {
        if (o.error.empty())
            err << res::text(res::IDS_PRINT_CANNOT_START) << "\n";
        else
            err << res::format(res::IDS_PRINT_SUBMIT_FAILED, o.error.c_str()) << "\n";
        return 2;
    }
    for (const std::string& f : o.failed)
        err << f << ": " << res::text(res::IDS_MSG_CANNOT_LOAD_PICTURE) << "\n";
    out << o.pagesPrinted << "\n";
    return o.failed.empty() ? 0 : 1;
}

} // namespace kamelo
