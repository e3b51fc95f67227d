#pragma once

#include <QString>

namespace kamelo::frames {

// The face text is drawn with: the stored face when the system has it,
// else the desktop's Korean sans-serif face ("sans-serif:lang=ko" as
// fontconfig resolves it, NanumGothic or Noto Sans CJK KR on most systems).
// The stored face is never changed, so a record moved to a system that has
// it draws with it there.
QString faceForDrawing(const QString& storedFace);

// The face fontconfig gives for Korean sans-serif text; empty when
// fontconfig has none.
QString koreanFallbackFace();

} // namespace kamelo::frames
