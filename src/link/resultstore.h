#pragma once
// Storing analyser records in the day tables: one testresult row per item
// with a value, one gresult row, all under the sample number and the work
// date, in one transaction per record.
#include "link/resultrecord.h"

#include <QSqlDatabase>
#include <QString>
#include <QVector>

namespace intake {

// The item catalogue in itemid order.
bool loadItems(QSqlDatabase db, QVector<ItemDef> *items, QString *error = nullptr);

// Writes one parsed record: an existing row of the same sample number (and
// item) is overwritten and takes the work date, whatever day it came from.
// All or nothing; false with the database's text in *error.
bool storeRecord(QSqlDatabase db, const ParsedRecord &record, const QString &workDate,
                 QString *error = nullptr);

struct SaveOutcome
{
    bool stored = false;     // rows were written
    bool failed = false;     // the database refused; nothing of it was kept
    bool ambiguous = false;  // not one record's text: never stored
    QString shelfid;         // the sample number, when the record had one
    QStringList numbers;     // every sample number the text held
    bool malformed = false;  // list it for correction
    QStringList unconverted; // names of items kept as received
    QString error;
};

// While storing a received record the connection waits this long for a lock
// held by another program, then gives up; the record is tried again later.
inline constexpr int kIntakeBusyTimeoutMs = 100;

// Parses one record's text (without its 0x03) against the catalogue read now
// and stores it, waiting for a lock at most kIntakeBusyTimeoutMs. The
// catalogue read goes to *items when it could be read.
SaveOutcome DataSavetoTB(QSqlDatabase db, const QByteArray &record, const QString &workDate,
                         QVector<ItemDef> *items = nullptr);

} // namespace intake
