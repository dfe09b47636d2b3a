// The report layer's word wrap (binding a record, the PDF back end and where
// the printed forms stand are the golden test's and the window tests').
#include "platform/report/displaylist.h"
#include "reports/forms.h"

#include <gtest/gtest.h>

using namespace report;

TEST(ReportLayer, WordWrapBreaksWithinTheWidth)
{
    reports::installFontSubstitutions();
    ReportForm f;
    f.setMargins(10, 10, 10, 10);
    ReportItem it = makeLabel("wrap", "结果仅对本次标本负责，复查请携带本报告单到检验科", FontSpec(), 0, 0, 30, 5);
    it.autoSize = false;
    it.wordWrap = it.autoStretch = true;
    f.add(it);
    const DisplayList dl = resolve(f, emptyRecord());
    auto lines = dl.ofItem("wrap");
    ASSERT_GE(lines.size(), 3u);
    QString joined;
    for (size_t i = 0; i < lines.size(); joined += lines[i++]->text)
        EXPECT_TRUE(lines[i]->mm.width() <= 30 + 1e-6 && lines[i]->mm.left() >= 10 - 1e-6
                    && (i == 0 || lines[i]->mm.top() > lines[i - 1]->mm.top())) << lines[i]->text.toStdString();
    EXPECT_EQ(joined, it.text);

    // Latin text breaks between words; no line carries a trailing blank.
    f.item("wrap").text = "Red blood cell count and haemoglobin";
    for (const Primitive *p : resolve(f, emptyRecord()).ofItem("wrap"))
        EXPECT_FALSE(p->text.endsWith(' ') || p->mm.width() > 30 + 1e-6) << p->text.toStdString();
}
