#pragma once

#include <QString>

namespace kamelo {

// The title of a PDF file that Qt writes. Qt puts the UTF-16 title in a
// literal string unescaped, so a byte 0x0D inside it (as in "찍", U+CC0D)
// reads as a line end to the next program (CUPS's filters make it 0x0A). The
// document is therefore written under a placeholder of ASCII bytes, which is
// then replaced in place by the title as a hexadecimal string of the same
// length: no offset of the file moves. The XMP metadata of a PDF/A file
// holds the title too and is mended the same way.
class PdfTitle {
public:
    // What to give QPrinter::setDocName while writing a document titled title.
    static QString placeholder(const QString& title);
    // Replaces the placeholder of title in the finished file. False when the
    // file cannot be read or written, or holds no placeholder.
    static bool apply(const QString& pdfPath, const QString& title);
};

} // namespace kamelo
