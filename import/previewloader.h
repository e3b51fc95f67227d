#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <memory>

namespace kamelo::acquire {

// Small previews made off the user-interface thread: the embedded camera
// thumbnail when there is one, else the picture decoded at a fraction of its
// size. Only the newest request is delivered; a movie gets no picture (the
// page shows its icon).
class PreviewLoader : public QObject {
    Q_OBJECT
public:
    explicit PreviewLoader(QSize box, QObject* parent = nullptr);
    ~PreviewLoader() override;
    void request(const QString& path);

    // The preview itself, on the calling thread (also used by the tasks).
    static QImage load(const QString& path, QSize box);

signals:
    // image is null when the file cannot be shown.
    void ready(const QString& path, const QImage& image);

private:
    QSize box_;
    // Shared with the running tasks: a task finishing after the loader is
    // gone, or after a newer request, delivers nothing.
    std::shared_ptr<std::atomic<quint64>> generation_;
};

} // namespace kamelo::acquire
