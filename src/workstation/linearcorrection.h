#pragma once
// Y = A*X + B over one item's results for a range of the day's samples,
// without the window.
#include "base/currency.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

class Tfrmfieldcount;

namespace ws {

// The range between two sample numbers in list order: the positions
// (0-based, first <= last) of the rows whose number, trimmed, equals each
// bound trimmed and upper-cased. Bounds compare as text, so "010" is not
// "10"; reversed bounds give the same range. nullopt when a bound is not in
// the list.
std::optional<std::pair<int, int>> correctionRange(const QStringList &listShelfids, const QString &from,
                                                   const QString &to);

// A*X + B rounded half to even to four decimals. X, A and B are texts that
// isnum() accepts. nullopt when the result is no finite number that four
// decimals can hold.
std::optional<Currency> linearValue(const QString &x, const QString &a, const QString &b);

// One sample of the list: its number and its day. The day tables may hold
// the same number for patients of several days.
struct DaySample
{
    QString shelfid;
    QVariant checkdate;
};

struct CorrectionResult
{
    int corrected = 0; // samples whose value was rewritten
    QString error;     // set when the run failed and nothing was kept
};

// Corrects item `itemid` of each sample in `samples` (in that order): a
// sample without the item, or whose value is not a number, is skipped; the
// others get linearValue() as its shortest decimal text and their derived
// items recomputed. Everything runs in one transaction: on any failure
// (database, recomputation, a value too long to store) nothing is kept.
// `itemid` is the typed item number; one that is not a whole number matches
// no result.
CorrectionResult correctItem(const QVector<DaySample> &samples, const Currency &itemid, const QString &a,
                             const QString &b, Tfrmfieldcount &fieldcount);

} // namespace ws
