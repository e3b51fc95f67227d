#pragma once

// Small frame skins written by the tests themselves: a 30 x 30 bitmap of
// nine 10 x 10 pieces in distinct colours, and its INI.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>

#include <filesystem>
#include <fstream>
#include <string>

namespace kamelo::test {

struct SkinDefinition {
    std::string caption;
    int marginX = 20;
    bool withBitmap = true;
};

inline void writeSkin(const std::string& folder, const std::string& name,
                      const SkinDefinition& definition) {
    std::filesystem::create_directories(folder);
    const std::string base = folder + "/" + name;
    std::ofstream ini(base + ".ini", std::ios::binary);
    ini << "[GENERAL]\r\nCAPTION=" << definition.caption << "\r\nTYPE=NORMAL\r\n[SKIN]\r\n"
        << "START_X=10\r\nSTART_Y=10\r\nMARGIN_X=" << definition.marginX << "\r\nMARGIN_Y=20\r\n";
    for (const char* piece :
         {"TOP_LEFT", "TOP", "TOP_RIGHT", "LEFT", "BOTTOM_LEFT", "BOTTOM", "RIGHT", "BOTTOM_RIGHT"})
        ini << piece << "_CX=10\r\n" << piece << "_CY=10\r\n";
    ini.close();
    if (!definition.withBitmap)
        return;
    QImage bmp(30, 30, QImage::Format_RGB888);
    QPainter p(&bmp);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            p.fillRect(x * 10, y * 10, 10, 10, QColor(40 + x * 80, 40 + y * 80, 200 - x * 30));
    p.end();
    bmp.save(QString::fromStdString(base + ".bmp"), "BMP");
}

} // namespace kamelo::test
