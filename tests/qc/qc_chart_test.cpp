// The chart renderer (pixels at the limit lines) and the printout form (day
// table, value cells, caption) down to a PDF.
#include "reports/pdftools.h"

#include "platform/report/displaylist.h"
#include "platform/report/printing.h"
#include "qc/chartmodel.h"
#include "qc/qclogic.h"
#include "qc/qcreport.h"
#include "reports/forms.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

qc::ChartModel chartOfMonth(int days, const QVector<QPointF> &values)
{
    qc::ChartModel m = qc::screenChartModel();
    m.title = {"2024年3月室内质控图(WBC)"};
    qc::drawLimitLines(m, 5, 0.5, days);
    for (const QPointF &p : values)
        m.get("LineSeries1").addXY(p.x(), p.y());
    return m;
}

// Whether a row within +-1 pixel of y at column x has the colour.
bool colourAt(const QImage &img, int x, double y, const QColor &c)
{
    for (int yy = int(std::lround(y)) - 1; yy <= int(std::lround(y)) + 1; ++yy) {
        const QColor p = img.pixelColor(x, std::clamp(yy, 0, img.height() - 1));
        if (std::max({std::abs(p.red() - c.red()), std::abs(p.green() - c.green()), std::abs(p.blue() - c.blue())}) < 40)
            return true;
    }
    return false;
}

QImage painted(const qc::ChartModel &m, int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    qc::paintChart(p, QRectF(0, 0, w, h), m);
    p.end();
    return img;
}

class QcChart : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { reports::installFontSubstitutions(); }
};

} // namespace

TEST_F(QcChart, LimitLinesAreDrawnAtTheirValues)
{
    const qc::ChartModel m = chartOfMonth(30, {{5, 5.2}, {6, 4.7}});
    const QImage img = painted(m, 900, 262);
    const qc::ChartGeometry g = qc::chartGeometry(m, QRectF(0, 0, 900, 262));
    ASSERT_GT(g.plot.height(), 100);
    const int x = int(g.xToPx(20));
    for (const auto &[value, colour] : {std::pair{6.5, QColor(Qt::red)}, {3.5, QColor(Qt::red)}, {6.0, QColor(Qt::blue)},
                                        {4.0, QColor(Qt::blue)}, {5.0, QColor(Qt::black)}})
        EXPECT_TRUE(colourAt(img, x, g.yToPx(value), colour)) << value;
    // Nothing red where no line runs (between +2 and +3 SD).
    EXPECT_FALSE(colourAt(img, x, g.yToPx(6.25), Qt::red));
    // The axis box spans 3..7 and days 1..30.
    EXPECT_NEAR(g.yToPx(7), g.plot.top(), 0.5);
    EXPECT_NEAR(g.xToPx(30), g.plot.right(), 0.5);
    // A value point: a lime circle at day 5. Lines start at x = 0, left of
    // the box: nothing is drawn there.
    EXPECT_TRUE(colourAt(img, int(std::lround(g.xToPx(5))), g.yToPx(5.2), QColor(0, 255, 0)));
    EXPECT_FALSE(colourAt(img, int(g.plot.left()) - 3, g.yToPx(6.5), Qt::red));

    // No step and no range: the chart must not divide by zero or loop.
    qc::ChartModel flat = qc::screenChartModel();
    qc::drawLimitLines(flat, 5, 0, 31);
    painted(flat, 400, 200);
}

TEST_F(QcChart, PrintoutHasACellForEachDayOfTheMonthOnly)
{
    // Values print with four decimals at most; a 30-day month has no cell 31.
    QTemporaryDir tmp;
    report::ReportForm form = report::ReportForm::instanceOf(qc::frmqcreportDesign());
    qc::fillQcReport(form, chartOfMonth(30, {{2, 5.12346}, {5, 4.6}, {20, 5.3}}), "示例医院", "c");
    const QString pdf = tmp.filePath("qc.pdf");
    report::renderPdf({report::resolve(form, report::emptyRecord())}, pdf);
    EXPECT_TRUE(pdftools::compactText(pdf).contains("5.1235"));
    for (const pdftools::Word &w : pdftools::words(pdf))
        EXPECT_NE(w.text, "31");

    // A 28-day month printed afterwards starts clean; points are kept in day
    // order and day 31's value gets no cell.
    form.recreate();
    qc::fillQcReport(form, chartOfMonth(28, {{31, 4.8}, {28, 5}}), QString(), "c");
    EXPECT_TRUE(form.find("dayshape28") && !form.find("dayshape29"));
    EXPECT_EQ(form.item("valuelabel1").text, "5");
    EXPECT_EQ(form.find("valuelabel2"), nullptr);
}
