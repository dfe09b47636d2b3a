#pragma once
// The rules of the patient particulars window without the window: loading or
// starting a sample's row, the defaults of a new row, the digit short-cuts,
// the department and doctor look-ups, the fill from the newest archived
// visit, the operator check and the next sample number.
#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

namespace db { class Dataset; }

namespace ws {

enum class Lookup { Found, NotFound, Failed };

// The whole number a text begins with (digits from the first character), 0
// when it does not begin with a digit.
qint64 leadingInteger(const QString &text);

// The sample number offered after a save: the leading number + 1, in decimal.
QString nextSampleNumber(const QString &shelfText);

// Only the operator who registered a sample may change it (names compared
// exactly).
bool mayChange(const QString &rowOperator, const QString &currentOperator);

// Digit short-cut of a short list: a whole number n picks entry n (1 = the
// first) when 1 <= n <= count, any other whole number empties the column;
// text that is not a whole number stays as typed.
QString digitShortcut(const QString &text, const QStringList &entries);

// Department by number (when the text is a whole number) or abbreviation,
// the text bound as typed. Found: *name is the department's name.
Lookup lookupDepartment(const QString &text, QString *name, QString *error = nullptr);

// Doctor by the number the text begins with (0 when none), through the
// shared doctor dataset's filter, which is switched off again afterwards.
Lookup lookupDoctor(db::Dataset &doctorset, const QString &text, QString *name);

// Defaults of a newly started patient row.
struct PatientDefaults
{
    QDate workdate;
    QTime now;
    QString currentOperator;
    QString kind;       // first sample kind
    QString apperance;  // first sample state
};
void applyPatientDefaults(db::Dataset &row, const PatientDefaults &d);

// Opens the dataset on an empty result with the table's columns.
bool openEmptyPatient(db::Dataset &row, QString *error = nullptr);

// Drops unsaved changes and loads the registration of exactly this sample
// number on the work day, or appends a new one (the dataset's onNewRecord
// gives the defaults) and sets its number. The same number of a day whose end
// was skipped is another patient: typing it never loads or overwrites that
// row. False with the database's text on failure.
bool loadSample(db::Dataset &row, const QString &shelfid, const QDate &workdate, QString *error = nullptr);

// The newest archived visit with this case number (trimmed, upper-cased,
// bound as a pattern). Found: name, mzno, caseno, depart, age and bedno are
// copied where the row's value, trimmed, is empty; sex is always copied.
Lookup fillFromArchive(db::Dataset &row, const QString &caseText, QString *error = nullptr);

enum class SaveResult { Nothing, Refused, Saved, Failed };

// Saves the row: nothing without a sample number; refused (and pending
// changes cancelled) when the row belongs to another operator; otherwise the
// row is written at once.
SaveResult savePatient(db::Dataset &row, const QString &shelfText, const QString &currentOperator,
                       QString *error = nullptr);

} // namespace ws
