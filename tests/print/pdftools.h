#pragma once

#include <string>
#include <vector>

namespace kamelo::test {

// The poppler tools the print tests read PDF files with.
bool popplerAvailable();
// Runs a shell command; its standard output, and the exit code in code.
std::string runCommand(const std::string& command, int* code = nullptr);
std::string pdfInfo(const std::string& pdf);
// The value of one "Name: value" line of pdfinfo.
std::string pdfInfoField(const std::string& pdf, const std::string& field);
std::string pdfText(const std::string& pdf);

// A page rendered by pdftoppm.
struct Raster {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    unsigned pixel(int x, int y) const;
};
Raster renderPage(const std::string& pdf, int page, int dpi, const std::string& scratch);

// The bounding box of the pixels near a colour (0xRRGGBB); right and bottom
// exclusive; empty (all 0) when none.
struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left; }
};
Box colourBox(const Raster& r, unsigned rgb, int tolerance = 40);

// pdfimages -list: the width and height of each image.
std::vector<std::pair<int, int>> pdfImageSizes(const std::string& pdf);

} // namespace kamelo::test
