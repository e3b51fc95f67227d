#pragma once

// What the picture view tests share: a document filled with pictures written
// on the spot, and a JPEG whose every pixel differs from its neighbours.

#include "tests/support/samepixels.h"
#include "tests/support/scratchdir.h"
#include "tests/support/viewerenv.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <QtTest>

#include <string>
#include <vector>

namespace kamelo::test::showview {

struct Env : ViewerEnv {
    // Pictures of the given sizes, each filled with its own grey level.
    void pictures(const std::vector<QSize>& sizes) {
        for (size_t i = 0; i < sizes.size(); ++i) {
            QImage img(sizes[i], QImage::Format_RGB32);
            img.fill(QColor(int(40 * i), int(40 * i), int(40 * i)));
            const std::string path = dir.file("p" + std::to_string(i) + ".png");
            QVERIFY(img.save(QString::fromStdString(path)));
            doc.list().append(path);
        }
    }
};

// A JPEG with detail in every pixel, so a smaller decode differs from the
// full one wherever it is compared.
inline std::string detailedJpeg(ScratchDir& dir, const char* name, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 7) ^ (y * 3), (x * y) % 251, ((x / 3) + (y / 5)) % 256));
    const std::string path = dir.file(name);
    img.save(QString::fromStdString(path), "JPEG", 92);
    return path;
}

} // namespace kamelo::test::showview
