#pragma once
// One graph-data row (gresult / hisgresult): the twelve lines a1..a12 exactly
// as the analyser sent them, bytes and trailing blanks included.
#include <QByteArray>
#include <QVariant>
#include <optional>

class QSqlRecord;
namespace db { class Dataset; }

namespace graphics {

struct GraphRow
{
    // a[1]..a[12] are the fields a1..a12; a[0] is unused. A NULL field is
    // empty.
    QByteArray a[13];

    const QByteArray &field(int n) const { return a[n]; }
    QByteArray &field(int n) { return a[n]; }
};

// A stored graph field as bytes: a blob as it is, text one byte per
// character (Latin-1, which is how the lines are stored), NULL as empty.
QByteArray graphFieldBytes(const QVariant &v);

// The row from columns named a1..a12 (names matched without regard to case;
// a missing column reads as empty).
GraphRow graphRowFrom(const QSqlRecord &record);
// The current row of a dataset. The dataset must be open and not empty.
GraphRow graphRowFrom(const db::Dataset &dataset);

// The row drawgraphic draws from a graph dataset: the dataset is opened when
// it is closed (and stays open); no row when it holds none or cannot be
// opened (its lastError() then tells why).
std::optional<GraphRow> currentGraphRow(db::Dataset &dataset);

} // namespace graphics
