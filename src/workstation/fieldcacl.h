#pragma once
// Derived items: results computed from other results of the same sample by
// the formula in the catalogue's `expressions` column. Never shown; it owns
// the datasets of the recomputation.
#include "platform/db/dataset.h"

#include <QObject>
#include <QString>

class Tfrmfieldcount : public QObject
{
public:
    explicit Tfrmfieldcount(QObject *parent = nullptr);
    ~Tfrmfieldcount() override;

    // Recomputes, for one sample (its number and its day), every other item whose formula refers to
    // `itemid` (one level: items derived from those are not recomputed).
    // The changed value must be stored already; every operand is read from
    // the database, so `value` is not used. An item with an operand missing
    // in the sample keeps what it had. Each result is written at once,
    // rounded to four decimals and formatted with the item's decimals; a
    // missing row is added under the sample's day, so that it belongs to
    // this sample and not to the same number of another day. The first failure (an operand
    // that is not a number, a formula that cannot be evaluated, a database
    // error) stops the run with its text in *error; items already written
    // stay, so a caller that needs all or nothing runs this inside its
    // transaction.
    bool calcexpression(const QString &shelfid, const QVariant &checkdate, int itemid, const QString &value,
                        QString *error = nullptr);

    db::Dataset *fielditemset = nullptr; // the derived items to recompute
    db::Dataset *resultset = nullptr;    // one referenced result
};

extern Tfrmfieldcount *frmfieldcount;
