#pragma once
// The patient report forms as stored designs. Each function builds the design
// afresh; the program keeps one instance of each (ReportForm::instanceOf) and
// recreates it from the design where a print must start clean.
//
// Positions are millimetres from the top-left corner of DetailBand1, which
// starts at the page's top and left margins. Data texts read the patient
// record given at print or preview time.
#include "platform/report/reportform.h"

#include <QStringList>

namespace reports {

report::ReportForm frmtestreportDesign();   // graphic half-sheet report
report::ReportForm frmtestreport1Design();  // graphic A4/B5 report
report::ReportForm frmtestreport2Design();  // text report, 90 mm band
report::ReportForm frmtestreport3Design();  // page of the three-per-sheet text batch (empty band)
report::ReportForm frmtestreport4Design();  // page of the two-per-sheet graphic batch (empty band)
report::ReportForm a4ReportDesign();        // preview for paper 2
report::ReportForm a5ReportDesign();        // preview for paper 3: the A4 preview shrunk to JIS B5
report::ReportForm frmnomreportDesign();    // preview for papers 0 and 1

// The patient fields shown on the graphic forms (15) and on the text form (13).
QStringList graphicFormFields();
QStringList textFormFields();

// "宋体", "黑体" and "仿宋" do not exist here: map them to the installed CJK
// face the windows use. Reports print in their own faces whatever this maps
// (report::reportFace); tests that render windows call this.
void installFontSubstitutions();

} // namespace reports
