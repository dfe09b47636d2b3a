#pragma once
// One analyser record: its sample number, the values of the catalogue's
// items and the twelve graph-data lines, read from the record's own text.
//
// Record text: lines "<mark><separator><data>", each ended by CR (made CR LF
// by the receive buffer), the record closed by 0x03. A line is found by its
// mark right after a line end; the start of the record counts as one.
#include "base/currency.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace intake {

// What the parser needs of an item of the catalogue.
struct ItemDef
{
    int itemid = 0;
    QByteArray mark;               // trimmed itemmark; empty: never received
    std::optional<Currency> hsyz;  // NULL: numeric values are kept raw
    int bitnum = 0;                // NULL counts as 0
    QString name;                  // abbreviation, shown when a value cannot be converted
};

struct ItemValue
{
    int itemid = 0;
    QString value;
    bool operator==(const ItemValue &o) const { return itemid == o.itemid && value == o.value; }
};

struct ParsedRecord
{
    QString shelfid;           // trimmed sample number, never empty
    QVector<ItemValue> values; // in catalogue order
    QStringList graph;         // a1..a12, "" for an absent line
    bool malformed = false;    // listed for correction
    // The number of every sample-number line the text holds, in order.
    QStringList numbers;
    // More than one sample-number line, or two lines for one item or graph
    // mark: the text cannot be one record (an earlier record lost its end, or
    // noise carried such lines). Such a text is never stored; values and
    // graph are left empty.
    bool ambiguous = false;
    // Items whose numeric value could not be converted and is kept as received.
    QVector<int> unconverted;
};

inline constexpr int kGraphFields = 12;
inline constexpr char kGraphFirstMark = 'W'; // a1 .. a12: 'W' (0x57) .. 'b' (0x62)
inline constexpr int kShelfidWidth = 10;
inline constexpr int kValueWidth = 12;

// The data of the first line of text found by key: from four characters after
// the start of the match up to the next CR or the end of text; empty when the
// key does not occur.
QByteArray substring(const QByteArray &key, const QByteArray &text);

// The stored text of a value as received (at most five characters): a number
// multiplied by hsyz, rounded to four decimals and written with bitnum
// decimals (both half to even); anything else, or a number that cannot be
// converted or would not fit the value column, unchanged.
// *converted is false when the text is a number that could not be converted.
QString convertValue(const QByteArray &raw, const ItemDef &item, bool *converted = nullptr);

// True when a sample number must be listed for correction: not a whole
// number in the 32-bit range, or longer than the shelfid column.
bool isMalformedNumber(const QString &shelfid);

// The numbers of all sample-number lines of a text, and whether the text
// repeats a sample-number, item or graph line (see ParsedRecord::ambiguous).
bool isAmbiguousRecord(const QByteArray &record, const QVector<ItemDef> &items, QStringList *numbers = nullptr);

// How many record lines the text holds: lines that begin with the
// sample-number key, a graph key or an item's mark. Text as received counts
// too: a line begins at the start, after a CR or LF, and after a 0x02 or
// 0x03. The numbers of its sample-number lines go to *numbers, in order;
// how many record lines come before the first of them to *beforeNumber.
int countRecordLines(const QByteArray &text, const QVector<ItemDef> &items, QStringList *numbers = nullptr,
                     int *beforeNumber = nullptr);

// Parses the text of one record (without its 0x03). nullopt when there is
// nothing to store: no sample-number line, an empty number, or a number line
// that the record ends before its CR. An ambiguous text comes back with
// ambiguous set and nothing else to store.
std::optional<ParsedRecord> parseRecord(const QByteArray &record, const QVector<ItemDef> &items);

} // namespace intake
