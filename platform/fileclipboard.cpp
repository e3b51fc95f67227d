#include "fileclipboard.h"

#include <QMimeData>
#include <QUrl>

namespace kamelo {

namespace {
const QString kGnomeCopied = QStringLiteral("x-special/gnome-copied-files");
const QString kKdeCut = QStringLiteral("application/x-kde-cutselection");
} // namespace

QMimeData* FileClipboard::make(const QStringList& paths, bool cut) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    QByteArray gnome = cut ? "cut" : "copy";
    for (const QString& p : paths) {
        const QUrl url = QUrl::fromLocalFile(p);
        urls.append(url);
        gnome += '\n' + url.toEncoded();
    }
    data->setUrls(urls);
    data->setData(kGnomeCopied, gnome);
    data->setData(kKdeCut, cut ? "1" : "0");
    data->setText(paths.join(QLatin1Char('\n')));
    return data;
}

FileClipboard::Content FileClipboard::read(const QMimeData* data) {
    Content c;
    if (!data)
        return c;
    QList<QUrl> urls;
    if (data->hasFormat(kGnomeCopied)) {
        const QList<QByteArray> lines = data->data(kGnomeCopied).split('\n');
        c.cut = !lines.isEmpty() && lines.first().trimmed() == "cut";
        for (int i = 1; i < lines.size(); ++i)
            if (!lines[i].trimmed().isEmpty())
                urls.append(QUrl::fromEncoded(lines[i].trimmed()));
    } else {
        urls = data->urls();
        c.cut = data->data(kKdeCut) == "1";
    }
    for (const QUrl& u : urls)
        if (u.isLocalFile())
            c.paths.append(u.toLocalFile());
    return c;
}

bool FileClipboard::hasFiles(const QMimeData* data) {
    return !read(data).paths.isEmpty();
}

} // namespace kamelo
