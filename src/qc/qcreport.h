#pragma once
// The control-chart printout (frmqcreport): an A4 landscape form with the
// chart, the hospital name, the caption with lot and statistics, and a table
// of day cells with the control values under the day numbers. The table's
// shapes and labels are run-time items of one printout; recreate() drops them.
#include "platform/report/reportform.h"
#include "qc/chartmodel.h"

#include <QRect>

namespace qc {

report::ReportForm frmqcreportDesign();

// Cell of day k (1-based) of the day table in the form's units (layout
// pixels at zoom 60): the upper cell with the day number.
QRect dayCellPx(const report::ReportForm &form, int day);
// Number of day cells for limit lines with `points` points: 16 in the first
// row and points - 17 in the second.
int dayCellCount(int limitPoints);

// Fills a fresh instance of the form from the page's chart: title, axes,
// limit lines and values in the printout's colours, the hospital name, the
// day table and the caption. A value on a day without a cell stays on the
// chart and gets no label.
void fillQcReport(report::ReportForm &form, const ChartModel &screen, const QString &hospital,
                  const QString &caption);

} // namespace qc
