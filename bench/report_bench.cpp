// Cost of one half-sheet patient report (25 result rows of 7 labels, four
// graphs) resolved and written to PDF, against one empty page.
#include "platform/report/displaylist.h"
#include "reports/forms.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <functional>

using namespace report;

namespace {

ReportForm filledReport()
{
    ReportForm f = ReportForm::instanceOf(reports::frmtestreportDesign());
    f.setPageMm(210, 148.5);
    f.setCaption(QStringLiteral("QRLabel26"), QStringLiteral("示例医院检验报告单"));
    QImage graph(300, 300, QImage::Format_RGB32);
    graph.fill(Qt::white);
    for (int i = 0; i < 300; ++i)
        graph.setPixel(i, 150 + int(100 * std::sin(i / 20.0)), qRgb(0, 0, 0));
    for (const char *n : {"qimg1", "qimg4", "qimg5", "qimg6"})
        f.setImage(QString::fromLatin1(n), graph);
    FontSpec font;
    font.pointSize = 9;
    const int lefts[] = {19, 51, 120, 256, 324, 384, 472};
    for (int row = 1; row <= 25; ++row) {
        const int top = 127 + (row - 1) * 13;
        const QString texts[] = {QString::number(row), QStringLiteral("白细胞计数"), QStringLiteral("[WBC]"),
                                 QStringLiteral("12.5"), QStringLiteral("10^9/L"), QStringLiteral("4--10"),
                                 QStringLiteral("↑")};
        for (int c = 0; c < 7; ++c)
            f.addLabel(QStringLiteral("r%1c%2").arg(row).arg(c), texts[c], font, QRect(lefts[c], top, 57, 16));
    }
    return f;
}

double msPerRun(const std::function<void()> &work, int runs)
{
    work();   // warm up fonts and caches
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < runs; ++i)
        work();
    return double(t.nsecsElapsed()) / 1e6 / runs;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    reports::installFontSubstitutions();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bench.pdf"));
    const Record record = recordFromMap({{QStringLiteral("name"), QStringLiteral("张三")},
                                         {QStringLiteral("shelfid"), QStringLiteral("0012")}});
    const ReportForm full = filledReport();
    ReportForm empty;
    empty.setPageMm(210, 148.5);

    const int runs = 30;
    const double report = msPerRun([&] { renderPdf({resolve(full, record)}, file); }, runs);
    const double blank = msPerRun([&] { renderPdf({resolve(empty, record)}, file); }, runs);
    const double resolveOnly = msPerRun([&] { (void)resolve(full, record); }, runs);
    std::printf("half-sheet report to PDF: %.2f ms (resolve %.2f ms); empty page: %.2f ms\n",
                report, resolveOnly, blank);
    std::printf("ratio report/empty page: %.1f\n", report / blank);
    return 0;
}
