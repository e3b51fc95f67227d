#include "myfontdialog.h"

#include "frames/fontfallback.h"
#include "framesettings.h"
#include "resources/qtstrings.h"

#include <algorithm>
#include <cmath>

namespace kamelo::frames {

CMyFontDialog::CMyFontDialog(const DecorationRecord& record, QWidget* parent)
    : QFontDialog(parent) {
    setObjectName(QStringLiteral("fontDialog"));
    setWindowTitle(res::qtext(res::IDS_FONT_LABEL));
    // The widget dialog everywhere: the same fields on every desktop.
    setOption(QFontDialog::DontUseNativeDialog);
    QFont font = fontOf(record);
    font.setFamily(faceForDrawing(QString::fromStdString(record.fontFace)));
    setCurrentFont(font);
    openedFamily_ = currentFont().family();
}

QFont CMyFontDialog::fontOf(const DecorationRecord& record) {
    QFont font(QString::fromStdString(record.fontFace));
    font.setPointSize(std::clamp(record.fontSize, 1, FrameSettings::kMaxFontSize));
    font.setWeight(record.bold ? QFont::Bold : QFont::Normal);
    font.setItalic(record.italic != 0);
    font.setUnderline(record.underline != 0);
    font.setStrikeOut(record.strikeout != 0);
    return font;
}

void CMyFontDialog::takeInto(DecorationRecord& record) const {
    const QFont font = selectedFont();
    const QString face = font.family();
    if (!face.isEmpty() && face != openedFamily_)
        record.fontFace = face.toStdString();
    const double points = font.pointSizeF();
    if (points > 0)
        record.fontSize = std::clamp(int(std::lround(points)), 1, FrameSettings::kMaxFontSize);
    record.bold = font.weight() >= QFont::Bold ? 1 : 0;
    record.italic = font.italic() ? 1 : 0;
    record.strikeout = font.strikeOut() ? 1 : 0;
    record.underline = font.underline() ? 1 : 0;
}

} // namespace kamelo::frames
