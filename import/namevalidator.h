#pragma once

#include <QValidator>

namespace kamelo::acquire {

// Keeps \ / : * ? " < > | out of a name field: a typed one is dropped and a
// pasted text loses them.
class NameValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

} // namespace kamelo::acquire
