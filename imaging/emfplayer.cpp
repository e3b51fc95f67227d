#include "emfplayer.h"

#include "dibimage.h"
#include "emfrecords.h"
#include "result.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstring>
#include <map>

namespace kamelo::imaging::emfcodec {

namespace {

QColor colorRef(uint32_t c) {
    return QColor(c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF);
}

struct Object {
    bool isPen = false;
    QPen pen;
    QBrush brush;
};

struct DcState {
    QTransform world;
    int mapMode = 1;
    QPointF windowOrg, viewportOrg;
    QSizeF windowExt{1, 1}, viewportExt{1, 1};
    QPen pen{QColor(Qt::black), 0};
    QBrush brush{Qt::white};
    Qt::FillRule fill = Qt::OddEvenFill;
    QPointF current;
};

class Player {
public:
    Player(ByteView bytes, const HeaderInfo& h, QImage& canvas, double offsetX, double offsetY,
           double scale)
        : bytes_(bytes), header_(h), painter_(&canvas), offsetX_(offsetX), offsetY_(offsetY),
          scale_(scale) {
        painter_.setRenderHint(QPainter::Antialiasing, true);
        painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
        state_.pen.setCosmetic(true);
        applyState();
    }

    int play() {
        size_t pos = 0;
        while (pos + 8 <= bytes_.size) {
            ByteReader head(bytes_.data + pos, 8);
            const uint32_t type = head.le32();
            const uint32_t size = head.le32();
            if (size < 8 || size % 4 != 0 || size > bytes_.size - pos)
                return result::kCorruptData;
            if (type == Eof)
                return result::kSuccess;
            ByteReader r(bytes_.data + pos, size);
            r.skip(8);
            record(type, r, pos, size);
            pos += size;
        }
        return result::kTruncated;
    }

private:
    QTransform deviceTransform() const {
        double sx = 1, sy = 1;
        switch (state_.mapMode) {
        case 7: // isotropic
        case 8: // anisotropic
            sx = state_.windowExt.width() ? state_.viewportExt.width() / state_.windowExt.width()
                                          : 1;
            sy = state_.windowExt.height() ? state_.viewportExt.height() / state_.windowExt.height()
                                           : 1;
            if (state_.mapMode == 7) {
                const double s = std::min(std::abs(sx), std::abs(sy));
                sx = std::copysign(s, sx);
                sy = std::copysign(s, sy);
            }
            break;
        case 2:
        case 3:
        case 4:
        case 5:
        case 6: {
            // Metric and English modes: units per millimetre, y upwards.
            static const double mmPerUnit[] = {0, 0, 0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};
            const double pxPerMmX = header_.mmW > 0 ? double(header_.deviceW) / header_.mmW : 3.78;
            const double pxPerMmY = header_.mmH > 0 ? double(header_.deviceH) / header_.mmH : 3.78;
            sx = mmPerUnit[state_.mapMode] * pxPerMmX;
            sy = -mmPerUnit[state_.mapMode] * pxPerMmY;
            break;
        }
        default:
            break;
        }
        QTransform t = state_.world;
        t *= QTransform::fromTranslate(-state_.windowOrg.x(), -state_.windowOrg.y());
        t *= QTransform::fromScale(sx, sy);
        t *= QTransform::fromTranslate(state_.viewportOrg.x(), state_.viewportOrg.y());
        t *= QTransform::fromTranslate(-offsetX_, -offsetY_);
        t *= QTransform::fromScale(scale_, scale_);
        return t;
    }

    void applyState() {
        painter_.setTransform(deviceTransform());
        painter_.setPen(state_.pen);
        painter_.setBrush(state_.brush);
    }

    static QPointF pt32(ByteReader& r) {
        const double x = r.le32s();
        return {x, double(r.le32s())};
    }
    static QPointF pt16(ByteReader& r) {
        const double x = r.le16s();
        return {x, double(r.le16s())};
    }
    static QRectF rectl(ByteReader& r) {
        const double l = r.le32s(), t = r.le32s(), rt = r.le32s(), b = r.le32s();
        return QRectF(QPointF(l, t), QPointF(rt, b)).normalized();
    }

    QPolygonF points(ByteReader& r, bool wide, uint32_t count) {
        QPolygonF poly;
        const size_t each = wide ? 8 : 4;
        if (count > r.remaining() / each)
            return poly;
        poly.reserve(static_cast<qsizetype>(count));
        for (uint32_t i = 0; i < count; ++i)
            poly.append(wide ? pt32(r) : pt16(r));
        return poly;
    }

    void drawPoly(uint32_t type, const QPolygonF& poly) {
        if (poly.isEmpty())
            return;
        const bool isTo = type == PolyBezierTo || type == PolylineTo || type == PolyBezierTo16 ||
                          type == PolylineTo16;
        const bool bezier = type == PolyBezier || type == PolyBezierTo || type == PolyBezier16 ||
                            type == PolyBezierTo16;
        const bool closed = type == Polygon || type == Polygon16;
        QPainterPath p;
        int i = 0;
        if (isTo) {
            p.moveTo(state_.current);
        } else {
            p.moveTo(poly[0]);
            i = 1;
        }
        if (bezier) {
            for (; i + 2 < poly.size(); i += 3)
                p.cubicTo(poly[i], poly[i + 1], poly[i + 2]);
        } else {
            for (; i < poly.size(); ++i)
                p.lineTo(poly[i]);
        }
        if (closed)
            p.closeSubpath();
        if (isTo)
            state_.current = poly.last();
        output(p, closed, true);
    }

    // Adds to the open path, or draws now.
    void output(QPainterPath p, bool fill, bool stroke) {
        if (inPath_) {
            path_.addPath(p);
            return;
        }
        p.setFillRule(state_.fill);
        if (fill)
            painter_.fillPath(p, state_.brush);
        if (stroke)
            painter_.strokePath(p, state_.pen);
    }

    void select(uint32_t index) {
        if (index & 0x80000000u) {
            switch (index & 0x7FFFFFFFu) {
            case 0:
                state_.brush = QBrush(Qt::white);
                break;
            case 1:
                state_.brush = QBrush(QColor(192, 192, 192));
                break;
            case 2:
                state_.brush = QBrush(QColor(128, 128, 128));
                break;
            case 3:
                state_.brush = QBrush(QColor(64, 64, 64));
                break;
            case 4:
                state_.brush = QBrush(Qt::black);
                break;
            case 5:
                state_.brush = QBrush(Qt::NoBrush);
                break;
            case 6:
                state_.pen = cosmetic(QColor(Qt::white));
                break;
            case 7:
                state_.pen = cosmetic(QColor(Qt::black));
                break;
            case 8:
                state_.pen = QPen(Qt::NoPen);
                break;
            default:
                break;
            }
        } else {
            auto it = objects_.find(index);
            if (it == objects_.end())
                return;
            if (it->second.isPen)
                state_.pen = it->second.pen;
            else
                state_.brush = it->second.brush;
        }
        applyState();
    }

    static QPen cosmetic(const QColor& c) {
        QPen p(c, 0);
        p.setCosmetic(true);
        return p;
    }

    static QPen makePen(uint32_t style, uint32_t width, uint32_t color) {
        if ((style & 0x0F) == 5)
            return QPen(Qt::NoPen);
        QPen p(colorRef(color));
        if (width == 0 || width > 100000) {
            p.setCosmetic(true);
            p.setWidth(0);
        } else {
            p.setWidthF(width);
        }
        static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                              Qt::DashDotLine, Qt::DashDotDotLine};
        p.setStyle((style & 0x0F) < 5 ? styles[style & 0x0F] : Qt::SolidLine);
        return p;
    }

    QImage dibAt(size_t recordPos, uint32_t recordSize, uint32_t offBmi, uint32_t cbBmi,
                 uint32_t offBits, uint32_t cbBits) const {
        if (offBmi > recordSize || cbBmi > recordSize - offBmi || offBits > recordSize ||
            cbBits > recordSize - offBits || cbBmi == 0)
            return {};
        const uint8_t* base = bytes_.data + recordPos;
        return decodeDib(base + offBmi, cbBmi, base + offBits, cbBits);
    }

    void blit(const QImage& image, const QRectF& dest, const QRectF& src) {
        if (image.isNull() || dest.isEmpty())
            return;
        painter_.drawImage(dest, image, src);
    }

    void record(uint32_t type, ByteReader& r, size_t pos, uint32_t size) {
        switch (type) {
        case PolyBezier:
        case Polygon:
        case Polyline:
        case PolyBezierTo:
        case PolylineTo:
        case PolyBezier16:
        case Polygon16:
        case Polyline16:
        case PolyBezierTo16:
        case PolylineTo16: {
            r.skip(16);
            const uint32_t count = r.le32();
            const bool wide = type <= PolylineTo;
            drawPoly(type, points(r, wide, count));
            break;
        }
        case PolyPolyline:
        case PolyPolygon:
        case PolyPolyline16:
        case PolyPolygon16: {
            r.skip(16);
            const uint32_t polys = r.le32();
            const uint32_t total = r.le32();
            if (polys > r.remaining() / 4)
                break;
            std::vector<uint32_t> counts(polys);
            for (auto& c : counts)
                c = r.le32();
            const bool wide = type == PolyPolyline || type == PolyPolygon;
            const QPolygonF all = points(r, wide, total);
            const bool closed = type == PolyPolygon || type == PolyPolygon16;
            QPainterPath p;
            qsizetype at = 0;
            for (uint32_t c : counts) {
                if (c == 0 || c > static_cast<uint32_t>(all.size() - at))
                    break;
                QPolygonF part = all.mid(at, c);
                at += c;
                if (closed)
                    p.addPolygon(part), p.closeSubpath();
                else
                    p.addPolygon(part);
            }
            output(p, closed, true);
            break;
        }
        case SetWindowExtEx: {
            const double cx = r.le32s(), cy = r.le32s();
            state_.windowExt = QSizeF(cx, cy);
            applyState();
            break;
        }
        case SetWindowOrgEx:
            state_.windowOrg = pt32(r);
            applyState();
            break;
        case SetViewportExtEx: {
            const double cx = r.le32s(), cy = r.le32s();
            state_.viewportExt = QSizeF(cx, cy);
            applyState();
            break;
        }
        case SetViewportOrgEx:
            state_.viewportOrg = pt32(r);
            applyState();
            break;
        case SetMapMode:
            state_.mapMode = static_cast<int>(r.le32());
            if (state_.mapMode < 1 || state_.mapMode > 8)
                state_.mapMode = 1;
            applyState();
            break;
        case SetPolyFillMode:
            state_.fill = r.le32() == 2 ? Qt::WindingFill : Qt::OddEvenFill;
            break;
        case MoveToEx:
            state_.current = pt32(r);
            if (inPath_)
                path_.moveTo(state_.current);
            break;
        case LineTo: {
            const QPointF to = pt32(r);
            if (inPath_) {
                if (path_.elementCount() == 0)
                    path_.moveTo(state_.current);
                path_.lineTo(to);
            } else {
                painter_.drawLine(state_.current, to);
            }
            state_.current = to;
            break;
        }
        case SaveDC:
            if (saved_.size() < 1000)
                saved_.push_back(state_);
            break;
        case RestoreDC: {
            int32_t n = r.le32s();
            if (n < 0) {
                while (n < -1 && !saved_.empty()) {
                    saved_.pop_back();
                    ++n;
                }
                if (!saved_.empty()) {
                    state_ = saved_.back();
                    saved_.pop_back();
                    applyState();
                }
            }
            break;
        }
        case SetWorldTransform:
        case ModifyWorldTransform: {
            float m[6];
            for (float& v : m) {
                const uint32_t bits = r.le32();
                std::memcpy(&v, &bits, 4);
            }
            const uint32_t mode = type == SetWorldTransform ? 4 : r.le32();
            for (float v : m)
                if (!std::isfinite(v))
                    return;
            const QTransform x(m[0], m[1], m[2], m[3], m[4], m[5]);
            if (mode == 1)
                state_.world = QTransform();
            else if (mode == 2)
                state_.world = x * state_.world;
            else if (mode == 3)
                state_.world = state_.world * x;
            else if (mode == 4)
                state_.world = x;
            applyState();
            break;
        }
        case SelectObject:
            select(r.le32());
            break;
        case CreatePen: {
            const uint32_t index = r.le32(), style = r.le32(), width = r.le32();
            r.skip(4);
            const uint32_t color = r.le32();
            if (r.ok())
                objects_[index] = Object{true, makePen(style, width, color), {}};
            break;
        }
        case ExtCreatePen: {
            const uint32_t index = r.le32();
            r.skip(16);
            const uint32_t style = r.le32(), width = r.le32();
            r.skip(4);
            const uint32_t color = r.le32();
            if (r.ok())
                objects_[index] = Object{true, makePen(style, width, color), {}};
            break;
        }
        case CreateBrushIndirect: {
            const uint32_t index = r.le32(), style = r.le32(), color = r.le32(), hatch = r.le32();
            if (!r.ok())
                break;
            QBrush b;
            if (style == 1) {
                b = QBrush(Qt::NoBrush);
            } else if (style == 2) {
                static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                         Qt::FDiagPattern, Qt::BDiagPattern,
                                                         Qt::CrossPattern, Qt::DiagCrossPattern};
                b = QBrush(colorRef(color), hatch < 6 ? hatches[hatch] : Qt::SolidPattern);
            } else {
                b = QBrush(colorRef(color));
            }
            objects_[index] = Object{false, {}, b};
            break;
        }
        case CreateDibPatternBrushPt: {
            const uint32_t index = r.le32();
            r.skip(4);
            const uint32_t offBmi = r.le32(), cbBmi = r.le32(), offBits = r.le32(),
                           cbBits = r.le32();
            const QImage pattern = dibAt(pos, size, offBmi, cbBmi, offBits, cbBits);
            objects_[index] =
                Object{false, {}, pattern.isNull() ? QBrush(Qt::gray) : QBrush(pattern)};
            break;
        }
        case DeleteObject:
            objects_.erase(r.le32());
            break;
        case Rectangle: {
            QPainterPath p;
            p.addRect(rectl(r));
            output(p, true, true);
            break;
        }
        case RoundRect: {
            const QRectF rc = rectl(r);
            const double cx = r.le32s(), cy = r.le32s();
            QPainterPath p;
            p.addRoundedRect(rc, cx / 2, cy / 2);
            output(p, true, true);
            break;
        }
        case Ellipse: {
            QPainterPath p;
            p.addEllipse(rectl(r));
            output(p, true, true);
            break;
        }
        case BeginPath:
            inPath_ = true;
            path_ = QPainterPath();
            break;
        case EndPath:
            inPath_ = false;
            break;
        case CloseFigure:
            if (inPath_)
                path_.closeSubpath();
            break;
        case FillPath:
        case StrokeAndFillPath:
        case StrokePath:
            inPath_ = false;
            output(path_, type != StrokePath, type != FillPath);
            path_ = QPainterPath();
            break;
        case BitBlt:
        case StretchBlt: {
            r.skip(16);
            const double xd = r.le32s(), yd = r.le32s(), cxd = r.le32s(), cyd = r.le32s();
            const uint32_t rop = r.le32();
            const double xs = r.le32s(), ys = r.le32s();
            r.skip(24 + 4 + 4);
            const uint32_t offBmi = r.le32(), cbBmi = r.le32(), offBits = r.le32(),
                           cbBits = r.le32();
            double cxs = cxd, cys = cyd;
            if (type == StretchBlt) {
                cxs = r.le32s();
                cys = r.le32s();
            }
            if (!r.ok())
                break;
            const QRectF dest(xd, yd, cxd, cyd);
            if (cbBmi == 0) {
                // No source: a pattern or a plain fill.
                const QBrush b = rop == 0x00000042   ? QBrush(Qt::black)
                                 : rop == 0x00FF0062 ? QBrush(Qt::white)
                                                     : state_.brush;
                painter_.fillRect(dest.normalized(), b);
                break;
            }
            blit(dibAt(pos, size, offBmi, cbBmi, offBits, cbBits), dest, QRectF(xs, ys, cxs, cys));
            break;
        }
        case StretchDIBits: {
            r.skip(16);
            const double xd = r.le32s(), yd = r.le32s(), xs = r.le32s(), ys = r.le32s();
            const double cxs = r.le32s(), cys = r.le32s();
            const uint32_t offBmi = r.le32(), cbBmi = r.le32(), offBits = r.le32(),
                           cbBits = r.le32();
            r.skip(8);
            const double cxd = r.le32s(), cyd = r.le32s();
            if (!r.ok())
                break;
            const QImage img = dibAt(pos, size, offBmi, cbBmi, offBits, cbBits);
            // DIB source y counts from the bottom for bottom-up bitmaps; the
            // decoded image is already top-down.
            blit(img, QRectF(xd, yd, cxd, cyd), QRectF(xs, img.height() - ys - cys, cxs, cys));
            break;
        }
        case SetDIBitsToDevice: {
            r.skip(16);
            const double xd = r.le32s(), yd = r.le32s(), xs = r.le32s(), ys = r.le32s();
            const double cxs = r.le32s(), cys = r.le32s();
            const uint32_t offBmi = r.le32(), cbBmi = r.le32(), offBits = r.le32(),
                           cbBits = r.le32();
            if (!r.ok())
                break;
            const QImage img = dibAt(pos, size, offBmi, cbBmi, offBits, cbBits);
            blit(img, QRectF(xd, yd, cxs, cys), QRectF(xs, img.height() - ys - cys, cxs, cys));
            break;
        }
        default:
            break; // text, clipping, palettes and comments are not drawn
        }
    }

    ByteView bytes_;
    HeaderInfo header_;
    QPainter painter_;
    double offsetX_, offsetY_, scale_;
    DcState state_;
    std::vector<DcState> saved_;
    std::map<uint32_t, Object> objects_;
    QPainterPath path_;
    bool inPath_ = false;
};
} // namespace

int playRecords(ByteView bytes, const HeaderInfo& h, QImage& canvas, double offsetX, double offsetY,
                double scale) {
    Player player(bytes, h, canvas, offsetX, offsetY, scale);
    return player.play();
}

} // namespace kamelo::imaging::emfcodec
