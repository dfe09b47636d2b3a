// drawgraphic: which picture shows what, clearing, and the stored row.
#include "graphics/drawgraphic.h"
#include "graphics/graphdraw.h"
#include "pixels.h"
#include "samplerow.h"

#include "common/testdb.h"
#include "platform/db/command.h"
#include "platform/db/dataset.h"

#include <gtest/gtest.h>

using namespace graphics;
using Pts = QSet<QPair<int, int>>;

TEST(DrawGraphic, EachFieldDrawsOrClearsItsOwnPicture)
{
    GraphPictures p = blankGraphPictures();
    for (int n = 1; n <= 6; ++n)
        p.image[n].fill(toRgb(clr::Green));
    GraphRow row = sample::realisticRow();
    row.a[2].clear();
    row.a[8] = "10 20"; // not read: its histogram is empty
    drawgraphic(p, &row);
    EXPECT_TRUE(px::allOf(p.image[2], clr::White));
    EXPECT_GT(std::min({px::countOf(p.image[3], clr::Yellow), px::countOf(p.image[4], clr::Navy),
                        px::countOf(p.image[1], clr::Fuchsia), px::countOf(p.image[1], clr::Navy),
                        px::countOf(p.image[5], clr::Navy)}), 50);
    // Image6 is left alone when there is a row; a curve clears all but the
    // bottom ten rows, which hold the labels.
    EXPECT_TRUE(px::allOf(p.image[6], clr::Green));
    EXPECT_EQ(px::countOf(p.image[3], clr::Green, QRect(0, 0, 142, 50)), 0);
    EXPECT_EQ(px::at(p.image[3], 141, 59), clr::Green);
    // Outside the frame of both scatter pictures stand only its ticks: two
    // pixels deep, every ten pixels, thirteen on each side.
    Pts ticks;
    for (int at = 7; at <= 127; at += 10)
        for (int out : {3, 4, 138, 139})
            ticks += Pts{{at, out}, {out, at + 8}};
    const QRect frame(5, 5, 133, 133);
    for (int n : {1, 5}) {
        Pts outside;
        for (const auto &pt : px::ofColour(p.image[n], clr::Black))
            if (!frame.contains(pt.first, pt.second))
                outside.insert(pt);
        EXPECT_EQ(ticks - outside, Pts()) << "missing in picture " << n;
        EXPECT_EQ(outside - ticks, Pts()) << "stray in picture " << n;
    }
    // No row at all clears all six.
    drawgraphic(p, nullptr);
    for (int n = 1; n <= 6; ++n)
        EXPECT_TRUE(px::allOf(p.image[n], clr::White)) << n;
}

// The bytes of a stored row come back as the analyser sent them (text one
// byte per character, blobs as they are); a closed dataset is opened.
TEST(GraphRowFields, ClosedDatasetIsOpenedAndReadByteForByte)
{
    testdb::fresh(false);
    const QByteArray blob("AU\xC8\x01", 4);
    ASSERT_TRUE(db::exec("insert into gresult (shelfid, a1, a2, a8) values ('1', ?, ?, '12 40 ')",
                         {QString::fromLatin1("\xC8 x "), blob}));
    db::Dataset ds;
    ds.setSql("select * from gresult where shelfid = ?");
    ds.setParams({QStringLiteral("1")});
    const auto row = currentGraphRow(ds);
    ASSERT_TRUE(row.has_value()) << ds.lastError().toStdString();
    EXPECT_EQ(QByteArrayList({row->a[1], row->a[2], row->a[3], row->a[8]}).join('|'), "\xC8 x |" + blob + "||12 40 ");
    ds.close();
    ds.setParams({QStringLiteral("2")});
    EXPECT_FALSE(currentGraphRow(ds).has_value()); // no row: drawgraphic clears
}
