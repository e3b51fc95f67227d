#pragma once

#include "print/printjob.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QStringList>

#include <functional>
#include <memory>

namespace kamelo {

class PictureReader;

// Draws the dialog's preview page off the user-interface thread. Every
// request starts a new generation; a drawing that a newer request overtook
// stops between pictures and is never delivered. Results come back through
// the rendered signal on the owner's thread.
class PrintPreviewWorker : public QObject {
    Q_OBJECT
public:
    static constexpr int kStopTimeoutMs = 3000;

    explicit PrintPreviewWorker(std::shared_ptr<PictureReader> reader,
                                int stopTimeoutMs = kStopTimeoutMs, QObject* parent = nullptr);
    // Stops the thread; one still inside a picture after the time-out is left
    // to finish that on its own data and never reports.
    ~PrintPreviewWorker() override;

    // Asks for page pageNumber (from 1) of the job drawn into a box of
    // boxSize; returns the request's generation.
    quint64 request(const PrintJob& job, const PageGeometry& page, int pageNumber, QSize boxSize);
    quint64 generation() const { return generation_; }
    // Stops the thread, waiting up to the time-out; false when it had to be
    // left running.
    bool stop();
    bool stopped() const { return stopped_; }

    // Threads still drawing, detached ones included.
    static int runningThreads();

    // The preview itself, for the worker and for callers that want it at
    // once: the paper of the page fitted into boxSize (only the paper's
    // pixels), white, with the page drawn at the preview's scale.
    static QImage renderPreview(const PrintJob& job, const PageGeometry& page, int pageNumber,
                                QSize boxSize, PictureReader& reader,
                                const std::function<bool()>& cancelled = {},
                                QStringList* failed = nullptr);

signals:
    void rendered(quint64 generation, const QImage& image, const QStringList& failed);

private:
    struct State;
    static void run(std::shared_ptr<State> state);

    std::shared_ptr<State> state_;
    int stopTimeoutMs_;
    quint64 generation_ = 0;
    bool stopped_ = false;
};

} // namespace kamelo
