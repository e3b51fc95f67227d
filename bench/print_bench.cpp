// A 4 x 4 sheet of 16 camera-sized JPEGs (4000 x 3000) on A4: kamelo-cli
// print --pdf against gm montage with the same cell size (its size hint
// makes gm decode reduced too), run alternately in one run; PDF sizes; and
// the time from a preview request to the dialog's first picture of the page.
//   print_bench KAMELO_CLI WORK_DIR
#include "imaging/bitmap.h"
#include "imaging/picturesaver.h"
#include "print/picturereader.h"
#include "print/printpreviewworker.h"

#include <QApplication>
#include <QEventLoop>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

double timeOf(const std::string& command) {
    const auto t0 = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string quote(const std::string& s) {
    return "'" + s + "'";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: print_bench KAMELO_CLI WORK_DIR\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string cli = argv[1], dir = std::string(argv[2]) + "/print";
    std::filesystem::create_directories(dir);
    std::vector<std::string> files;
    for (int i = 0; i < 16; ++i) {
        const std::string path = dir + "/photo" + std::to_string(i) + ".jpg";
        files.push_back(path);
        if (std::filesystem::exists(path))
            continue;
        // A gradient with noise-like detail, so the JPEGs have camera-like sizes.
        kamelo::imaging::Bitmap b;
        b.allocate(4000, 3000);
        for (int y = 0; y < 3000; ++y) {
            uint8_t* row = b.row(y);
            for (int x = 0; x < 4000; ++x) {
                row[x * 3] = uint8_t(x * 255 / 4000 + i * 13);
                row[x * 3 + 1] = uint8_t(y * 255 / 3000 + ((x * 7 + y * 13) & 31));
                row[x * 3 + 2] = uint8_t((x ^ y) + i * 29);
            }
        }
        kamelo::imaging::PictureSaver::saveJpeg(b, path, 90);
    }
    std::string list;
    for (const std::string& f : files)
        list += " " + quote(f);

    // The cell of a 4 x 4 sheet on A4 with the default margins and spacing,
    // at the 300 dpi of kamelo-cli's PDF: 43 x 62.25 mm, 6 mm apart.
    const int cellW = 508, cellH = 735, gap = 35;
    const std::string ours = dir + "/kamelo.pdf", theirs = dir + "/gm.pdf";
    const std::string kameloCmd = quote(cli) + " --db " + quote(dir + "/settings.sqlite") +
                                  " print --pdf " + quote(ours) + " --sheet 4x4" + list +
                                  " >/dev/null 2>&1";
    const std::string size = std::to_string(cellW) + "x" + std::to_string(cellH);
    const std::string gmCmd = "gm montage -size " + size + " -tile 4x4 -geometry " + size + "+" +
                              std::to_string(gap) + "+" + std::to_string(gap) + list + " " +
                              quote(theirs) + " 2>/dev/null";
    std::vector<double> k, g;
    for (int run = 0; run < 3; ++run) {
        k.push_back(timeOf(kameloCmd));
        g.push_back(timeOf(gmCmd));
    }
    const double km = median(k), gmm = median(g);
    std::printf("print 4x4 sheet of 16 4000x3000 JPEGs to PDF (median of 3)\n");
    std::printf("  kamelo-cli print --pdf  %.3f s  %lld bytes\n", km,
                static_cast<long long>(std::filesystem::file_size(ours)));
    std::printf("  gm montage              %.3f s  %lld bytes\n", gmm,
                static_cast<long long>(std::filesystem::file_size(theirs)));
    std::printf("  ratio kamelo / gm       %.2f (goal below 1)\n", km / gmm);

    // The dialog's preview of that page: request to first delivered picture.
    kamelo::PrintJob job;
    job.settings.radioSheet = 1;
    job.settings.columnCount = 4;
    job.settings.rowCount = 4;
    job.settings.faceName = "굴림";
    job.files = files;
    const kamelo::PageGeometry a4{210, 297, 0, 0, 0, 0, false};
    std::vector<double> preview;
    for (int run = 0; run < 3; ++run) {
        kamelo::PrintPreviewWorker worker(std::make_shared<kamelo::FilePictureReader>());
        QEventLoop loop;
        QObject::connect(&worker, &kamelo::PrintPreviewWorker::rendered, &loop, &QEventLoop::quit);
        const auto t0 = std::chrono::steady_clock::now();
        worker.request(job, a4, 1, QSize(300, 380));
        loop.exec();
        preview.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::printf("  first preview of the page  %.3f s (median of 3)\n", median(preview));
    return 0;
}
