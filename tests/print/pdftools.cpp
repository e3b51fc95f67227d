#include "pdftools.h"

#include "tests/cli/clirunner.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kamelo::test {

bool popplerAvailable() {
    return std::system("command -v pdftoppm >/dev/null 2>&1 && command -v pdfinfo >/dev/null "
                       "2>&1 && command -v pdftotext >/dev/null 2>&1 && command -v pdfimages "
                       ">/dev/null 2>&1") == 0;
}

std::string runCommand(const std::string& command, int* code) {
    FILE* p = popen(command.c_str(), "r");
    std::string out;
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int status = pclose(p);
    if (code)
        *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

std::string pdfInfo(const std::string& pdf) {
    return runCommand("pdfinfo " + shellQuote(pdf) + " 2>/dev/null");
}

std::string pdfInfoField(const std::string& pdf, const std::string& field) {
    std::istringstream in(pdfInfo(pdf));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0) {
            const size_t v = line.find_first_not_of(' ', field.size() + 1);
            return v == std::string::npos ? std::string() : line.substr(v);
        }
    return {};
}

std::string pdfText(const std::string& pdf) {
    return runCommand("pdftotext -enc UTF-8 " + shellQuote(pdf) + " - 2>/dev/null");
}

unsigned Raster::pixel(int x, int y) const {
    const unsigned char* p = &rgb[(size_t(y) * width + x) * 3];
    return unsigned(p[0]) << 16 | unsigned(p[1]) << 8 | p[2];
}

Raster renderPage(const std::string& pdf, int page, int dpi, const std::string& scratch) {
    Raster r;
    const std::string prefix = scratch + "/page" + std::to_string(page);
    runCommand("pdftoppm -r " + std::to_string(dpi) + " -f " + std::to_string(page) + " -l " +
               std::to_string(page) + " -singlefile " + shellQuote(pdf) + " " + shellQuote(prefix) +
               " 2>/dev/null");
    std::ifstream in(prefix + ".ppm", std::ios::binary);
    std::string magic;
    int maxval = 0;
    if (!(in >> magic >> r.width >> r.height >> maxval) || magic != "P6" || maxval != 255)
        return {};
    in.get();
    r.rgb.resize(size_t(r.width) * r.height * 3);
    in.read(reinterpret_cast<char*>(r.rgb.data()), std::streamsize(r.rgb.size()));
    return r;
}

Box colourBox(const Raster& r, unsigned rgb, int tolerance) {
    Box b{r.width, r.height, 0, 0};
    bool any = false;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            const unsigned p = r.pixel(x, y);
            const int dr = int(p >> 16) - int(rgb >> 16);
            const int dg = int((p >> 8) & 255) - int((rgb >> 8) & 255);
            const int db = int(p & 255) - int(rgb & 255);
            if (std::abs(dr) > tolerance || std::abs(dg) > tolerance || std::abs(db) > tolerance)
                continue;
            any = true;
            b.left = std::min(b.left, x);
            b.top = std::min(b.top, y);
            b.right = std::max(b.right, x + 1);
            b.bottom = std::max(b.bottom, y + 1);
        }
    return any ? b : Box{};
}

std::vector<std::pair<int, int>> pdfImageSizes(const std::string& pdf) {
    std::vector<std::pair<int, int>> sizes;
    std::istringstream in(runCommand("pdfimages -list " + shellQuote(pdf) + " 2>/dev/null"));
    std::string line;
    int row = 0;
    while (std::getline(in, line)) {
        if (row++ < 2) // the heading and its rule
            continue;
        std::istringstream f(line);
        int page = 0, num = 0, w = 0, h = 0;
        std::string type;
        if (f >> page >> num >> type >> w >> h)
            sizes.emplace_back(w, h);
    }
    return sizes;
}

} // namespace kamelo::test
