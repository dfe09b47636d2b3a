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

QRect textBox(int x, int y, const char *text)
{
    QImage dummy = px::blank(1, 1);
    return QRect(QPoint(x, y), Canvas(dummy).textExtent(QString::fromLatin1(text)));
}

} // namespace

TEST(HistogramCurve, StepLevelsAndDipFilterPaintExactPixels)
{
    // Values: A = 33/5 = 6 (row 41), U = 53/5 = 10 (row 37).
    EXPECT_EQ(px::ofColour(curve("RBC", "AAA"), clr::Red), (Pts{{1, 41}, {2, 41}}));
    // A dip below both neighbours is lifted to their mean.
    EXPECT_EQ(px::ofColour(curve("RBC", "UAU"), clr::Red), (Pts{{1, 37}, {2, 37}}));
    // A peak is never filtered.
    EXPECT_EQ(px::ofColour(curve("RBC", "AUA"), clr::Red),
              (Pts{{1, 41}} + column(2, 37, 41) + column(3, 37, 40)));
    // The last channel has no successor and keeps its value.
    EXPECT_EQ(px::ofColour(curve("RBC", "UUA"), clr::Red),
              (Pts{{1, 37}, {2, 37}} + column(3, 37, 40)));
    // The filter compares with the already filtered predecessor: U 7 A U
    // (10, 4, 6, 10): 4 becomes 8, then 6 < min(8, 10) becomes 9 (against
    // the raw 4 it would have stayed 6).
    EXPECT_EQ(px::ofColour(curve("RBC", "U7AU"), clr::Red),
              (Pts{{1, 37}, {2, 37}, {2, 38}, {2, 39}, {3, 39}, {3, 38}, {4, 38}}));
}

TEST(HistogramCurve, KindsDecideDivisorAndColour)
{
    EXPECT_EQ(px::ofColour(curve("PLT", "AA"), clr::Yellow), (Pts{{1, 41}}));
    // BAS is unscaled: code 65 is 33 pixels high.
    EXPECT_EQ(px::ofColour(curve("BAS", "AA"), clr::Navy), (Pts{{1, 14}}));
    // Code 125 (93) lies beyond the top edge.
    EXPECT_EQ(px::countOf(curve("BAS", "}}}"), clr::Navy), 0);
    // Bytes above 127 count as their unsigned code: 0xC8 -> (200-32)/5 = 33, row 14.
    EXPECT_EQ(px::ofColour(curve("RBC", QByteArray("\xC8\xC8")), clr::Red), (Pts{{1, 14}}));
    // Codes below 32 reach under the base line.
    EXPECT_EQ(px::ofColour(curve("BAS", QByteArray("\x1e\x1e")), clr::Navy), (Pts{{1, 49}}));
}

TEST(HistogramCurve, AxesAndOneChannelDrawsNoCurve)
{
    const QImage img = curve("RBC", "z");
    EXPECT_EQ(px::countOf(img, clr::Red), 0);
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(1, 47, 129, 1))); // base line 1..129
    EXPECT_EQ(px::at(img, 130, 47), clr::White);
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(1, 0, 1, 48)));  // axis clipped at the top
    EXPECT_EQ(px::at(img, 0, 30), clr::White);
}

TEST(HistogramCurve, LongDataIsClippedAtTheRightEdge)
{
    const QImage img = curve("RBC", QByteArray(100000, 'A'));
    EXPECT_TRUE(px::allOf(img, clr::Red, QRect(1, 41, 141, 1)));
}

TEST(HistogramDiscriminators, DottedLinesAndTheDottedPenStays)
{
    const QImage img = curve("RBC", "AAAA", "12  40");
    for (int x : {12, 40}) {
        EXPECT_EQ(px::at(img, x, 47), clr::Black) << x;
        EXPECT_EQ(px::at(img, x, 2), clr::White) << x;
        const int n = px::countOf(img, clr::Black, QRect(x, 3, 1, 45));
        EXPECT_GT(n, 10) << x;
        EXPECT_LT(n, 45) << x; // dotted, not solid
    }
    EXPECT_EQ(px::countOf(img, clr::Black, QRect(13, 3, 27, 40)), 0);
    // Ticks after a discriminator are dotted: not all five pixels painted.
    for (int x : {8, 38, 72, 108}) {
        EXPECT_EQ(px::at(img, x, 47), clr::Black);
        EXPECT_LT(px::countOf(img, clr::Black, QRect(x, 43, 1, 5)), 5) << x;
    }
    // No discriminator: no line, solid ticks.
    const QImage plain = curve("RBC", "AAAA", "");
    const QRect above(2, 3, 140, 40);
    EXPECT_EQ(px::countOf(plain, clr::Black, above),
              px::countOf(plain, clr::Black, textBox(60, 0, "RBC(f1)") & above));
    for (int x : {8, 38, 72, 108})
        EXPECT_TRUE(px::allOf(plain, clr::Black, QRect(x, 43, 1, 5))) << x;
    const QImage plt = curve("PLT", "AA");
    for (int x : {10, 36, 76, 122})
        EXPECT_TRUE(px::allOf(plt, clr::Black, QRect(x, 43, 1, 5))) << x;
    const QImage bas = curve("BAS", "AA");
    EXPECT_TRUE(px::allOf(bas, clr::Black, QRect(76, 43, 1, 5)));
    EXPECT_EQ(px::countOf(bas, clr::Black, QRect(77, 43, 65, 4)), 0);
}

TEST(HistogramDiscriminators, DecimalPointAndOverlongNumbersNeverStopTheDrawing)
{
    // "12.7" is read as 12; an overlong number and a bare ".5" are dropped.
    const QImage img = curve("RBC", "AAAA", "12.7 99999999999 .5 30");
    EXPECT_EQ(px::at(img, 12, 47), clr::Black);
    EXPECT_EQ(px::at(img, 30, 47), clr::Black);
    EXPECT_EQ(px::countOf(img, clr::Black, QRect(13, 3, 17, 40)), 0);
    // Only dropped numbers: nothing drawn, ticks stay solid.
    const QImage none = curve("RBC", "AAAA", ". 4294967296");
    EXPECT_TRUE(px::allOf(none, clr::Black, QRect(8, 43, 1, 5)));
    // Far-off positions are clipped.
    EXPECT_NO_FATAL_FAILURE(curve("RBC", "AAAA", "2147483647 141 142"));
    EXPECT_EQ(px::at(curve("RBC", "AAAA", "2147483647 141 142"), 141, 47), clr::Black);
}

TEST(HistogramText, CaptionAndLabelsSitAtTheirPlaces)
{
    struct Case { const char *kind; QVector<QPair<int, const char *>> labels; };
    const Case cases[] = {{"RBC", {{2, "30"}, {30, "100"}, {64, "200"}, {100, "300"}}},
                          {"PLT", {{6, "2"}, {30, "10"}, {72, "20"}, {118, "30"}}},
                          {"BAS", {{68, "300"}}}};
    for (const Case &cs : cases) {
        const QImage img = curve(cs.kind, "!");
        const QByteArray cap = QByteArray(cs.kind) + "(f1)";
        const QRect capBox = textBox(60, 0, cap.constData());
        // Above the ticks, only the axis and the caption are black.
        const Pts upper = px::ofColour(img, clr::Black, QRect(2, 0, 140, 43));
        EXPECT_GT(upper.size(), 10) << cs.kind;
        for (const auto &p : upper)
            EXPECT_TRUE(capBox.contains(p.first, p.second)) << cs.kind << " " << p.first << "," << p.second;
        // Below the base line, only labels.
        QVector<QRect> boxes;
        for (const auto &l : cs.labels) {
            boxes << textBox(l.first, 48, l.second);
            EXPECT_GT(px::countOf(img, clr::Black, boxes.last() & img.rect()), 3) << l.second;
        }
        for (const auto &p : px::ofColour(img, clr::Black, QRect(0, 48, 142, 12))) {
            bool inside = false;
            for (const QRect &b : boxes)
                inside = inside || b.contains(p.first, p.second);
            EXPECT_TRUE(inside) << cs.kind << " " << p.first << "," << p.second;
        }
    }
}

TEST(HistogramText, BottomTenRowsAreNotCleared)
{
    QImage img = px::blank(142, 60, clr::Green);
    drawcurve(img, "BAS", "AA", "");
    EXPECT_EQ(px::at(img, 140, 49), clr::White);
    EXPECT_EQ(px::at(img, 140, 50), clr::Green);
    EXPECT_EQ(px::at(img, 140, 59), clr::Green);
}

TEST(ThresholdLists, ReadLikeTheAnalyserWritesThem)
{
    using V = QVector<int>;
    EXPECT_EQ(readThresholds("12  40"), (V{12, 40}));
    EXPECT_EQ(readThresholds(" 12 40"), (V{12, 40}));
    EXPECT_EQ(readThresholds("12 40 "), (V{12, 40}));
    EXPECT_EQ(readThresholds("-5 x7"), (V{5, 7}));  // other characters skipped
    EXPECT_EQ(readThresholds("1\t2 3"), (V{12, 3})); // only a blank separates
    EXPECT_EQ(readThresholds("12.7 1.2.3 .5 ."), (V{12, 1}));
    EXPECT_EQ(readThresholds("2147483647 2147483648 0007"), (V{2147483647, 7}));
    EXPECT_EQ(readThresholds(""), V{});
    EXPECT_EQ(readThresholds("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16", 15).size(), 15);
    EXPECT_EQ(readThresholds("1 2 3 4 5 6 7 8 9 10", 8), (V{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(trimmedList(QByteArray("\x02 12 40\t\r\n")), QByteArray("12 40"));
}
