#pragma once
// What the main window's print handlers read from the window.
#include "reports/printsettings.h"
#include "reports/singlereport.h"

class TForm1;

namespace reports {

// The settings page's print choices as printing reads them.
PrintSettings printSettingsOf(const TForm1 &w);
// The hospital name and the four graph pictures of the window; the patient
// and rows from the datasets' current rows (either may be null).
ReportContent reportContentOf(const TForm1 &w, db::Dataset *patient, db::Dataset *rows);

} // namespace reports
