#include "nameorder.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

namespace kamelo {

namespace {
const QCollator& collator() {
    thread_local QCollator c = [] {
        // The "C" locale collates by code points and ignores the numeric
        // mode; a file manager there still sorts as in English.
        const QLocale system;
        QCollator x(system.language() == QLocale::C ? QLocale(QLocale::English) : system);
        x.setNumericMode(true);
        x.setCaseSensitivity(Qt::CaseInsensitive);
        return x;
    }();
    return c;
}
} // namespace

int NameOrder::compare(const QString& a, const QString& b) {
    const int r = collator().compare(a, b);
    // Names equal but for case still need a fixed order.
    return r != 0 ? r : QString::compare(a, b);
}

bool NameOrder::lessThan(const QString& a, const QString& b) {
    return compare(a, b) < 0;
}

QCollatorSortKey NameOrder::sortKey(const QString& name) {
    return collator().sortKey(name);
}

void NameOrder::sort(QStringList& names) {
    std::sort(names.begin(), names.end(), lessThan);
}

} // namespace kamelo
