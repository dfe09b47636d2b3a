#pragma once
// Closing the working day: the control-material samples leave the day tables
// without a trace, everything else moves into the history tables, and the day
// tables are left empty. All of it happens, or none of it.
#include <QSqlDatabase>
#include <QString>

namespace ws {

// Names that mark a control-material sample: any name beginning with these
// characters, not only the three materials the control page hands out.
inline constexpr const char *kControlNamePattern = "质控品%";

struct DayEndCounts
{
    int controlSamples = 0; // patient rows dropped as control material
    int patients = 0;       // rows added to histpatient
    int results = 0;        // rows added to hisresult
    int graphs = 0;         // rows added to hisgresult
};

// Runs the whole end of day in one transaction. On failure nothing has
// changed and *error holds the database's text.
bool archiveDay(QSqlDatabase db, QString *error, DayEndCounts *counts = nullptr);

} // namespace ws
