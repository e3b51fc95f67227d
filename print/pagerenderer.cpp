#include "pagerenderer.h"

#include "print/core/captiontemplate.h"
#include "print/picturereader.h"
#include "print/printfont.h"
#include "resources/qtstrings.h"

#include <QFontMetrics>
#include <QPainter>

#include <filesystem>

namespace kamelo {

namespace {

QRect toQRect(const PixelRect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

// One line, centred, cut with an ellipsis at the end when too long.
void drawLine(QPainter& p, const PixelRect& band, const QString& text) {
    if (band.empty() || text.isEmpty())
        return;
    const QString shown = QFontMetrics(p.font()).elidedText(text, Qt::ElideRight, band.width());
    p.drawText(toQRect(band), Qt::AlignCenter | Qt::TextSingleLine, shown);
}

// A one-pixel black frame just inside the rectangle.
void outline(QPainter& p, const PixelRect& r) {
    if (r.empty())
        return;
    const QRect q = toQRect(r);
    p.fillRect(QRect(q.left(), q.top(), q.width(), 1), Qt::black);
    p.fillRect(QRect(q.left(), q.bottom(), q.width(), 1), Qt::black);
    p.fillRect(QRect(q.left(), q.top(), 1, q.height()), Qt::black);
    p.fillRect(QRect(q.right(), q.top(), 1, q.height()), Qt::black);
}

QString fileNameOf(const std::string& path) {
    return QString::fromStdString(std::filesystem::path(path).filename().string());
}

// The place of a picture that could not be read: outlined, with the message
// and the file's name.
void markFailure(QPainter& p, const PixelRect& place, const std::string& path) {
    outline(p, place);
    const int line = QFontMetrics(p.font()).height();
    const int middle = place.top + place.height() / 2;
    drawLine(p, {place.left + 2, middle - line, place.right - 2, middle},
             res::qtext(res::IDS_MSG_CANNOT_LOAD_PICTURE));
    drawLine(p, {place.left + 2, middle, place.right - 2, middle + line}, fileNameOf(path));
}

QString captionFor(const PrintSettings& s, const std::string& path, PictureReader& reader) {
    const std::string name = std::filesystem::path(path).filename().string();
    const bool wantsDate =
        s.caption.find(res::text(res::IDS_PRINT_TOKEN_DATE_TAKEN)) != std::string::npos;
    return QString::fromStdString(
        CaptionTemplate::expand(s.caption, name, wantsDate ? reader.dateTaken(path) : ""));
}

} // namespace

PageRenderer::Result PageRenderer::render(QPainter& p, const PrintJob& job,
                                          const PageGeometry& page, int pageNumber,
                                          const DeviceMapping& map, QPoint origin,
                                          PictureReader& reader,
                                          const std::function<bool()>& cancelled) {
    Result result;
    const PrintSettings& s = job.settings;
    const PrintLayout layout(s, page);
    const int count = static_cast<int>(job.files.size());
    const int first = layout.firstPictureOf(pageNumber);
    if (pageNumber < 1 || first >= count)
        return result;

    p.save();
    p.translate(origin);
    p.setBackgroundMode(Qt::TransparentMode);
    p.setFont(PrintFont::font(s, map.dpiY()));
    p.setPen(PrintFont::color(s.fontColor));
    if (s.drawHeader)
        drawLine(p, map.rect(layout.headerBand()), QString::fromStdString(s.header));
    if (s.drawFooter)
        drawLine(p, map.rect(layout.footerBand()), QString::fromStdString(s.footer));

    if (s.sheet()) {
        const int perPage = layout.picturesPerPage();
        for (int i = 0; i < perPage && first + i < count; ++i) {
            if (cancelled && cancelled()) {
                result.cancelled = true;
                break;
            }
            const std::string& path = job.files[first + i];
            int w = 0, h = 0;
            const bool known = reader.size(path, w, h);
            const SheetCell cell =
                SheetPlacement::place(layout, map, i / s.columnCount, i % s.columnCount, w, h);
            if (s.thumbnailFrame) {
                p.fillRect(toQRect(cell.band), PrintFont::color(s.thumbnailFrameColor));
                if (s.frameEdge == 1)
                    outline(p, cell.band);
            }
            if (s.drawCaption)
                drawLine(p, cell.caption, captionFor(s, path, reader));
            QImage picture;
            if (known && !cell.picture.empty() &&
                reader.read(path, {0, 0, w, h}, cell.picture.width(), cell.picture.height(),
                            picture))
                p.drawImage(toQRect(cell.picture), picture);
            else if (!known || !cell.picture.empty()) {
                markFailure(p, cell.band, path);
                result.failed.push_back(path);
            }
        }
    } else if (!(cancelled && cancelled())) {
        const std::string& path = job.files[first];
        int w = 0, h = 0;
        const bool known = reader.size(path, w, h);
        const PrintLayout::WholePage place = layout.placeWhole(known ? w : 0, known ? h : 0);
        const PixelRect dest = map.rect(place.dest);
        QImage picture;
        if (known && !dest.empty() &&
            reader.read(path, place.source, dest.width(), dest.height(), picture)) {
            p.drawImage(toQRect(dest), picture);
            if (s.drawCaption)
                drawLine(p, map.rect(place.captionBand), captionFor(s, path, reader));
        } else {
            markFailure(p, map.rect(layout.contentRect()), path);
            result.failed.push_back(path);
        }
    } else {
        result.cancelled = true;
    }
    p.restore();
    return result;
}

} // namespace kamelo
