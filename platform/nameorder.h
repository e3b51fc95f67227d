#pragma once

#include <QCollatorSortKey>
#include <QString>
#include <QStringList>

namespace kamelo {

// The order a file manager shows names in: locale-aware, case-insensitive,
// digit runs compared as numbers ("2.jpg" before "10.jpg").
class NameOrder {
public:
    static bool lessThan(const QString& a, const QString& b);
    // Negative, 0 or positive.
    static int compare(const QString& a, const QString& b);
    static void sort(QStringList& names);
    // A key whose compare() orders as compare() orders the names (names
    // equal but for case aside): many keys cost less than the comparisons
    // of a large sort. Made with this thread's collator.
    static QCollatorSortKey sortKey(const QString& name);
};

} // namespace kamelo
