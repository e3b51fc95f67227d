#pragma once

#include "edit/core/overwritestate.h"

class QWidget;
class QString;

namespace kamelo::edit {

// "파일이 이미 존재합니다. 덮어쓸까요?" with 예 / 모두 예 / 아니오 / 모두 아니오.
// Escape and the close box answer Closed, which writes nothing.
class OverwritePrompt {
public:
    static OverwriteAnswer ask(QWidget* parent, const QString& destination);
};

} // namespace kamelo::edit
