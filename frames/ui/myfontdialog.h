#pragma once

#include "frames/core/decorationrecord.h"

#include <QFontDialog>

namespace kamelo::frames {

// The text's font chooser: face, size and the four styles of a decoration
// record, with the effects (strikeout, underline) shown.
class CMyFontDialog : public QFontDialog {
    Q_OBJECT
public:
    explicit CMyFontDialog(const DecorationRecord& record, QWidget* parent = nullptr);

    // The chosen font into the record's face, size and styles. A face the
    // user left as it opened stays the stored one, also when the system
    // lacks it and the dialog showed the face text is drawn with.
    void takeInto(DecorationRecord& record) const;
    static QFont fontOf(const DecorationRecord& record);

private:
    QString openedFamily_;
};

} // namespace kamelo::frames
