#include "namevalidator.h"

#include "import/core/foldernamefilter.h"

namespace kamelo::acquire {

QValidator::State NameValidator::validate(QString& input, int& pos) const {
    QString kept;
    kept.reserve(input.size());
    int newPos = pos;
    for (int i = 0; i < input.size(); ++i) {
        if (isRefusedNameChar(char32_t(input[i].unicode()))) {
            if (i < pos)
                --newPos;
            continue;
        }
        kept += input[i];
    }
    input = kept;
    pos = newPos;
    return Acceptable;
}

} // namespace kamelo::acquire
