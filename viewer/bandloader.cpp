#include "bandloader.h"

#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "viewer/showview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWheelEvent>

#include <algorithm>

namespace kamelo {

namespace {

// While a picture decodes band by band the view looks at the user's input
// between bands: navigation keys and wheel turns end the decode with their
// code; other input waits (it is dropped) so that nothing else runs inside
// the decode; closing a window waits until the decode has ended.
class DecodeInput : public QObject {
public:
    DecodeInput(int boundary) : boundary_(boundary) { qApp->installEventFilter(this); }
    ~DecodeInput() override { qApp->removeEventFilter(this); }
    int code = 0;
    bool closeAsked = false;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::KeyPress: {
            const int k = static_cast<QKeyEvent*>(e)->key();
            int c = 0;
            if (k == Qt::Key_PageUp || k == Qt::Key_Backspace || k == Qt::Key_Left)
                c = CShowView::kWantPrevious;
            else if (k == Qt::Key_PageDown || k == Qt::Key_Space || k == Qt::Key_Right)
                c = CShowView::kWantNext;
            else if (k == Qt::Key_Home)
                c = CShowView::kWantFirst;
            else if (k == Qt::Key_End)
                c = CShowView::kWantLast;
            take(c);
            return true;
        }
        case QEvent::Wheel:
            take(static_cast<QWheelEvent*>(e)->angleDelta().y() > 0 ? CShowView::kWantPrevious
                                                                    : CShowView::kWantNext);
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return true;
        case QEvent::Close:
            closeAsked = true;
            e->ignore();
            return true;
        default:
            return false;
        }
    }

private:
    void take(int c) {
        // "View Repeat" 0: no stepping past the first / last picture.
        if ((boundary_ == 1 && c == CShowView::kWantPrevious) ||
            (boundary_ == 2 && c == CShowView::kWantNext))
            return;
        if (c != 0 && code == 0)
            code = c;
    }
    int boundary_;
};

// Used from the UI thread only.
std::unique_ptr<BandLoader::HeadStart>& keptHeadStart() {
    static std::unique_ptr<BandLoader::HeadStart> kept;
    return kept;
}

} // namespace

void BandLoader::offerHeadStart(std::unique_ptr<HeadStart> headStart) {
    keptHeadStart() = std::move(headStart);
}

QSize BandLoader::shownSize() const {
    return imaging::Orientation::swapsSides(orientation_) ? size_.transposed() : size_;
}

int BandLoader::load(const std::string& path, QSize announced, int orientation, int boundary,
                     int scale, imaging::Bitmap* spare, const QPointer<QObject>& owner,
                     const std::function<void(int pass)>& onBand, imaging::Bitmap& decoded,
                     bool& closeAsked) {
    size_ = announced;
    orientation_ = orientation;
    bitmap_ = nullptr;
    rows_ = 0;
    active_ = true;
    DecodeInput input(boundary);
    std::unique_ptr<HeadStart> headStart = std::move(keptHeadStart());
    if (headStart && !headStart->matches(path, scale))
        headStart.reset();
    if (headStart) {
        // The memory lent is not needed: the picture is being decoded already.
        const int rc = follow(*headStart, owner, onBand, decoded, input.code);
        closeAsked = input.closeAsked;
        if (!owner)
            return rc;
        active_ = false;
        bitmap_ = nullptr;
        return rc;
    }
    imaging::LoadOptions options;
    options.bandRows = 10; // input is looked at every 10th row
    options.reportPasses = true;
    options.scaleDenominator = scale;
    // Only the memory is lent: the picture going keeps its colour space.
    if (spare)
        spare->setColourProfile(nullptr);
    options.reuse = spare;
    options.onRows = [&](const imaging::Bitmap& b, int first, int rows, int pass) {
        if (!owner)
            return 0;
        // The header's size stands for the picture when it decodes smaller.
        if (scale <= 1 || !size_.isValid())
            size_ = QSize(b.width(), b.height());
        // Painted straight from the bitmap being filled.
        bitmap_ = &b;
        rows_ = pass > 0 ? b.height() : std::max(rows_, first + rows);
        onBand(pass);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return input.code == 0 ? 1 : input.code;
    };
    const int rc = imaging::PictureFile::load(path, decoded, options);
    closeAsked = input.closeAsked;
    if (!owner)
        return rc; // this loader went with its view
    active_ = false;
    bitmap_ = nullptr;
    return rc;
}

int BandLoader::follow(HeadStart& headStart, const QPointer<QObject>& owner,
                       const std::function<void(int pass)>& onBand, imaging::Bitmap& decoded,
                       int& code) {
    // Ends the decode once the view is gone or a key asked for another
    // picture; this loader's members are not touched when the view is gone.
    const auto stopped = [&](int rc) {
        headStart.stop();
        headStart.finish(decoded);
        decoded.free();
        return rc;
    };
    int seen = 0;
    for (bool ended = false; !ended;) {
        const imaging::Bitmap* bitmap = nullptr;
        int rows = 0;
        ended = headStart.wait(seen, 8, bitmap, rows);
        if (!ended && bitmap && rows > seen) {
            if (!size_.isValid())
                size_ = QSize(bitmap->width(), bitmap->height());
            bitmap_ = bitmap;
            rows_ = seen = rows;
            onBand(0);
        }
        if (ended)
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!owner)
            return stopped(0);
        if (code != 0)
            return stopped(code);
    }
    const int rc = headStart.finish(decoded);
    if (rc < 1 || !decoded.isAllocated())
        return rc;
    // The last rows, painted from the finished picture.
    bitmap_ = &decoded;
    rows_ = decoded.height();
    onBand(0);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (owner && code != 0) {
        decoded.free();
        return code;
    }
    return rc;
}

} // namespace kamelo
