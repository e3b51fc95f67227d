#include "previewloader.h"

#include "imaging/bitmap.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "import/core/acquireformats.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace kamelo::acquire {

PreviewLoader::PreviewLoader(QSize box, QObject* parent)
    : QObject(parent), box_(box), generation_(std::make_shared<std::atomic<quint64>>(0)) {}

PreviewLoader::~PreviewLoader() {
    generation_->fetch_add(1);
}

QImage PreviewLoader::load(const QString& path, QSize box) {
    const std::string p = path.toStdString();
    if (isMoviePath(p))
        return {};
    imaging::Bitmap b;
    if (imaging::PictureFile::readStamp(p, b) < 1) {
        imaging::LoadOptions o;
        o.scaleDenominator = 8;
        o.mayReduce = true;
        if (imaging::PictureFile::load(p, b, o) < 1)
            return {};
    }
    imaging::Orientation::makeUpright(b, imaging::Orientation::read(p));
    const QImage view(b.row(0), b.width(), b.height(), int(b.stride()), QImage::Format_BGR888);
    return view.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation).copy();
}

void PreviewLoader::request(const QString& path) {
    const quint64 mine = generation_->fetch_add(1) + 1;
    auto generation = generation_;
    QPointer<PreviewLoader> self(this);
    const QSize box = box_;
    QThreadPool::globalInstance()->start([=] {
        if (generation->load() != mine)
            return;
        QImage image = load(path, box);
        if (generation->load() != mine)
            return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, mine, path, image] {
                if (self && generation->load() == mine)
                    emit self->ready(path, image);
            },
            Qt::QueuedConnection);
    });
}

} // namespace kamelo::acquire
