// Histograms: curve with dip filter, discriminators, caption, ticks, labels.
#include "graphics/graphdraw.h"
#include "pixels.h"

#include <gtest/gtest.h>

using namespace graphics;
using Pts = QSet<QPair<int, int>>;

namespace {

QImage curve(const QString &kind, const QByteArray &data, const QByteArray &list = {})
{
    QImage img = px::blank(142, 60);
    drawcurve(img, kind, data, list);
    return img;
}

// Pixels in column x, rows y0..y1.
Pts column(int x, int y0, int y1)
{
    Pts p;
    for (int y = y0; y <= y1; ++y)
        p.insert({x, y});
    return p;
}

} // namespace

TEST(HistogramCurve, StepLevelsDipFilterDivisorAndColour)
{
    // Values: A = 33/5 = 6 (row 41), U = 53/5 = 10 (row 37).
    const struct { const char *kind; QByteArray data; TColor colour; Pts painted; const char *why; } cases[] = {
        {"RBC", "AAA", clr::Red, {{1, 41}, {2, 41}}, "steps"},
        {"RBC", "UAU", clr::Red, {{1, 37}, {2, 37}}, "a dip below both neighbours is lifted to their mean"},
        {"RBC", "AUA", clr::Red, Pts{{1, 41}} + column(2, 37, 41) + column(3, 37, 40), "a peak stays"},
        {"RBC", "UUA", clr::Red, Pts{{1, 37}, {2, 37}} + column(3, 37, 40), "the last channel keeps its value"},
        // U 7 A U (10, 4, 6, 10): 4 becomes 8, then 6 < min(8, 10) becomes 9.
        {"RBC", "U7AU", clr::Red, {{1, 37}, {2, 37}, {2, 38}, {2, 39}, {3, 39}, {3, 38}, {4, 38}},
         "compared with the filtered predecessor"},
        {"PLT", "AA", clr::Yellow, {{1, 41}}, "PLT"},
        {"BAS", "AA", clr::Navy, {{1, 14}}, "BAS unscaled: code 65 is 33 pixels high"},
        {"BAS", "}}}", clr::Navy, {}, "code 125 (93) lies beyond the top edge"},
        {"RBC", "\xC8\xC8", clr::Red, {{1, 14}}, "unsigned bytes: (200-32)/5 = 33"},
        {"BAS", "\x1e\x1e", clr::Navy, {{1, 49}}, "below 32: under the base line"},
        {"RBC", "z", clr::Red, {}, "one channel: no curve"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(px::ofColour(curve(c.kind, c.data), c.colour), c.painted) << c.why;
    EXPECT_EQ(curve("RBC", "AAA").pixel(1, 41), qRgb(255, 0, 0)); // colour numbers keep red in the low byte
}

// Discriminators are dotted lines; the dotted pen stays for the ticks after
// them. "12.7" reads as 12; unreadable numbers are dropped, never stopping
// the drawing; far-off positions are clipped.
TEST(HistogramDiscriminators, DottedLinesAndTheDottedPenStays)
{
    const QImage img = curve("RBC", "AAAA", "12.7 99999999999 .5 40 2147483647");
    for (int x : {12, 40}) {
        const int n = px::countOf(img, clr::Black, QRect(x, 3, 1, 45));
        EXPECT_TRUE(px::at(img, x, 47) == clr::Black && px::at(img, x, 2) == clr::White && n > 10 && n < 45) << x;
    }
    EXPECT_EQ(px::countOf(img, clr::Black, QRect(13, 3, 27, 40)), 0);
    // Without a discriminator the ticks are solid.
    const QImage plain = curve("RBC", "AAAA");
    for (int x : {8, 38, 72, 108}) {
        EXPECT_LT(px::countOf(img, clr::Black, QRect(x, 43, 1, 5)), 5) << x;
        EXPECT_TRUE(px::allOf(plain, clr::Black, QRect(x, 43, 1, 5))) << x;
    }
    EXPECT_EQ(px::at(curve("RBC", "AAAA", "141 142"), 141, 47), clr::Black);
}

TEST(ThresholdLists, ReadLikeTheAnalyserWritesThem)
{
    using V = QVector<int>;
    const struct { const char *text; int max; V read; } cases[] = {
        {" 12  40 ", -1, {12, 40}}, {"-5 x7", -1, {5, 7}}, {"1\t2 3", -1, {12, 3}}, // only a blank separates
        {"12.7 1.2.3 .5 .", -1, {12, 1}}, {"2147483647 2147483648 0007", -1, {2147483647, 7}},
        {"1 2 3 4 5 6 7 8 9 10", 8, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(readThresholds(c.text, c.max), c.read) << c.text;
    EXPECT_EQ(trimmedList(QByteArray("\x02 12 40\t\r\n")), QByteArray("12 40"));
}
