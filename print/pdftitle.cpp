#include "pdftitle.h"

#include <QFile>

namespace kamelo {

namespace {

// U+4141: both bytes are "A", nothing Qt escapes and nothing a reader turns.
constexpr char16_t kFiller = 0x4141;
// Qt writes the document information near the end of the file.
constexpr qint64 kTail = 64 * 1024;

QByteArray hexTitle(const QString& title) {
    QByteArray utf16BigEndian("\xfe\xff", 2);
    for (const QChar c : title) {
        utf16BigEndian += char(c.unicode() >> 8);
        utf16BigEndian += char(c.unicode() & 0xff);
    }
    return '<' + utf16BigEndian.toHex().toUpper() + '>';
}

} // namespace

QString PdfTitle::placeholder(const QString& title) {
    // Written as "(" FE FF, two bytes a unit, ")": 2n + 4 bytes, which holds
    // the hexadecimal form "<FEFF" four digits a unit ">" (4m + 6) when
    // n = 2m + 1.
    return QString(2 * title.size() + 1, QChar(kFiller));
}

bool PdfTitle::apply(const QString& pdfPath, const QString& title) {
    QFile file(pdfPath);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 size = file.size();
    const qint64 start = std::max<qint64>(0, size - kTail - 8 * title.size());
    if (!file.seek(start))
        return false;
    const QByteArray tail = file.read(size - start);
    const QString filler = placeholder(title);
    QByteArray written("(\xfe\xff", 3);
    written += QByteArray(2 * filler.size(), 'A');
    written += ')';
    const qsizetype at = tail.lastIndexOf("/Title " + written);
    if (at < 0)
        return false;
    QByteArray replacement = hexTitle(title);
    replacement += QByteArray(written.size() - replacement.size(), ' ');
    return file.seek(start + at + 7) && file.write(replacement) == replacement.size() &&
           file.flush();
}

} // namespace kamelo
