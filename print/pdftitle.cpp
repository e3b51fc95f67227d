#include "pdftitle.h"

#include <QFile>

namespace kamelo {

namespace {

// U+4141: both bytes are "A", nothing Qt escapes and nothing a reader turns.
constexpr char16_t kFiller = 0x4141;
// Qt writes the document information near the end of the file, and the
// XMP metadata of a PDF/A file (uncompressed) near its start.
constexpr qint64 kTail = 64 * 1024;
constexpr qint64 kHead = 64 * 1024;
constexpr char kXmpEnd[] = "</rdf:li>";

QByteArray hexTitle(const QString& title) {
    QByteArray utf16BigEndian("\xfe\xff", 2);
    for (const QChar c : title) {
        utf16BigEndian += char(c.unicode() >> 8);
        utf16BigEndian += char(c.unicode() & 0xff);
    }
    return '<' + utf16BigEndian.toHex().toUpper() + '>';
}

// The title as XML text: at most 5 bytes a UTF-16 unit ("&amp;"), never
// more than the 3 bytes of each of the placeholder's 2n + 1 units.
QByteArray xmlTitle(const QString& title) {
    QByteArray out;
    for (const char c : title.toUtf8()) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (uchar(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
            out += c;
    }
    return out;
}

// The XMP copy of the title: the placeholder and the element's end are
// replaced by the title and the end, padded with blanks after the element,
// where XML ignores them. False when there is none (not a PDF/A file).
bool applyToXmp(QFile& file, const QString& title) {
    if (!file.seek(0))
        return false;
    const QByteArray head = file.read(kHead + 8 * title.size());
    const QByteArray filler = PdfTitle::placeholder(title).toUtf8() + kXmpEnd;
    const qsizetype at = head.indexOf(filler);
    if (at < 0)
        return false;
    QByteArray replacement = xmlTitle(title) + kXmpEnd;
    if (replacement.size() > filler.size())
        return false;
    replacement += QByteArray(filler.size() - replacement.size(), ' ');
    return file.seek(at) && file.write(replacement) == replacement.size();
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
    if (!file.seek(start + at + 7) || file.write(replacement) != replacement.size())
        return false;
    applyToXmp(file, title);
    return file.flush();
}

} // namespace kamelo
