#pragma once
// The first-print stamp of a day sample as one text, "bgtime|printflag"
// ("|0" when never printed), for compact checks.
#include "platform/db/command.h"

inline QString stampOf(const QString &shelfid)
{
    const QString sql = QStringLiteral("select coalesce(bgtime, '') || '|' || coalesce(printflag, 0) from patient where shelfid = ?");
    return db::scalar(sql, {shelfid}).toString();
}
