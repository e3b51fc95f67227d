#include "printpreviewworker.h"

#include "print/core/printlayout.h"
#include "print/pagerenderer.h"
#include "print/picturereader.h"

#include <QPainter>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kamelo {

namespace {
std::atomic<int> running{0};
}

struct PrintPreviewWorker::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    bool stop = false;
    bool finished = false;
    bool pending = false;
    // The newest request; the thread draws copies, never these.
    PrintJob job;
    PageGeometry page;
    int pageNumber = 1;
    QSize box;
    std::atomic<quint64> latest{0};
    // Where results go; cleared (under the mutex) before the owner goes away.
    PrintPreviewWorker* receiver = nullptr;
    std::shared_ptr<PictureReader> reader;
};

PrintPreviewWorker::PrintPreviewWorker(std::shared_ptr<PictureReader> reader, int stopTimeoutMs,
                                       QObject* parent)
    : QObject(parent), state_(std::make_shared<State>()), stopTimeoutMs_(stopTimeoutMs) {
    state_->reader = reader ? std::move(reader) : std::make_shared<FilePictureReader>();
    state_->receiver = this;
    ++running;
    std::thread(run, state_).detach();
}

PrintPreviewWorker::~PrintPreviewWorker() {
    stop();
}

int PrintPreviewWorker::runningThreads() {
    return running;
}

bool PrintPreviewWorker::stop() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->receiver = nullptr;
    if (stopped_)
        return state_->finished;
    stopped_ = true;
    state_->stop = true;
    state_->wake.notify_all();
    return state_->done.wait_for(lock, std::chrono::milliseconds(stopTimeoutMs_),
                                 [this] { return state_->finished; });
}

quint64 PrintPreviewWorker::request(const PrintJob& job, const PageGeometry& page, int pageNumber,
                                    QSize boxSize) {
    const quint64 g = ++generation_;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (stopped_)
            return g;
        state_->job = job;
        state_->page = page;
        state_->pageNumber = pageNumber;
        state_->box = boxSize;
        state_->pending = true;
        state_->latest = g;
    }
    state_->wake.notify_all();
    return g;
}

void PrintPreviewWorker::run(std::shared_ptr<State> s) {
    for (;;) {
        PrintJob job;
        PageGeometry page;
        int pageNumber = 1;
        QSize box;
        quint64 g = 0;
        {
            std::unique_lock<std::mutex> lock(s->mutex);
            s->wake.wait(lock, [&] { return s->stop || s->pending; });
            if (s->stop)
                break;
            s->pending = false;
            job = s->job;
            page = s->page;
            pageNumber = s->pageNumber;
            box = s->box;
            g = s->latest;
        }
        QStringList failed;
        const QImage image = renderPreview(
            job, page, pageNumber, box, *s->reader, [&] { return s->stop || s->latest != g; },
            &failed);
        std::lock_guard<std::mutex> lock(s->mutex);
        if (s->stop)
            break;
        if (s->latest != g || !s->receiver)
            continue;
        PrintPreviewWorker* receiver = s->receiver;
        // Posted to the owner's thread; dropped by Qt if the owner is gone
        // before it runs.
        QMetaObject::invokeMethod(
            receiver, [receiver, g, image, failed] { emit receiver->rendered(g, image, failed); },
            Qt::QueuedConnection);
    }
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        s->finished = true;
    }
    s->done.notify_all();
    --running;
}

QImage PrintPreviewWorker::renderPreview(const PrintJob& job, const PageGeometry& page,
                                         int pageNumber, QSize boxSize, PictureReader& reader,
                                         const std::function<bool()>& cancelled,
                                         QStringList* failed) {
    const PreviewFrame frame = previewFrame(boxSize.width(), boxSize.height(), page);
    if (frame.paper.empty())
        return {};
    QImage image(frame.paper.width(), frame.paper.height(), QImage::Format_RGB32);
    image.fill(Qt::white);
    const double dpi = frame.dpi();
    image.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
    QPainter painter(&image);
    const QPoint origin(static_cast<int>(std::lround(page.offsetLeftMm * 100.0 * frame.scale)),
                        static_cast<int>(std::lround(page.offsetTopMm * 100.0 * frame.scale)));
    const PageRenderer::Result r = PageRenderer::render(
        painter, job, page, pageNumber, DeviceMapping(dpi, dpi), origin, reader, cancelled);
    if (failed)
        for (const std::string& f : r.failed)
            failed->append(QString::fromStdString(f));
    return image;
}

} // namespace kamelo
