// drawgraphic: which picture shows what, clearing, the row helpers, and
// redrawing for the next sample.
#include "graphics/drawgraphic.h"
#include "graphics/graphdraw.h"
#include "pixels.h"
#include "samplerow.h"

#include "platform/db/dataset.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace graphics;

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
    // Image6 is left alone when there is a row; the histograms keep their
    // bottom ten rows outside the labels.
    EXPECT_TRUE(px::allOf(p.image[6], clr::Green));
    EXPECT_EQ(px::at(p.image[3], 141, 59), clr::Green);
    // No row at all clears all six.
    drawgraphic(p, nullptr);
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(p.image[n].size(), graphPictureSize(n)) << n;
        EXPECT_TRUE(px::allOf(p.image[n], clr::White)) << n;
    }
}

TEST(GraphRowFields, DatasetRowIsReadByteForByteAndOpenedWhenClosed)
{
    {
        QSqlDatabase dbc = QSqlDatabase::addDatabase("QSQLITE", "graphics_rows");
        dbc.setDatabaseName(":memory:");
        ASSERT_TRUE(dbc.open());
        QSqlQuery q(dbc);
        ASSERT_TRUE(q.exec("create table gresult (shelfid text, a1 text, a2 blob, a3 text, a4 text, "
                           "a5 text, a6 text, a7 text, a8 text, a9 text, a10 text, a11 text, a12 text)"));
        ASSERT_TRUE(q.prepare("insert into gresult (shelfid, a1, a2, a8, a11) values ('1', ?, ?, ?, ?)"));
        for (const QVariant &v : {QVariant(QString::fromLatin1("\xC8 x ")), QVariant(QByteArray("AU\xC8\x01", 4)),
                                  QVariant(QStringLiteral("12 40 ")), QVariant()})
            q.addBindValue(v);
        ASSERT_TRUE(q.exec());

        db::Dataset ds;
        ds.setDatabase(dbc);
        ds.setSql("select * from gresult where shelfid = ?");
        ds.setParams({QStringLiteral("1")});
        const auto row = currentGraphRow(ds);
        ASSERT_TRUE(row.has_value()) << ds.lastError().toStdString();
        EXPECT_TRUE(ds.isOpen());
        const QByteArray expected[13] = {{}, "\xC8 x ", QByteArray("AU\xC8\x01", 4), {}, {}, {}, {}, {}, "12 40 "};
        for (int n = 1; n <= 12; ++n)
            EXPECT_EQ(row->a[n], expected[n]) << n;

        ds.close();
        ds.setParams({QStringLiteral("2")});
        EXPECT_FALSE(currentGraphRow(ds).has_value()); // no row: drawgraphic clears
    }
    QSqlDatabase::removeDatabase("graphics_rows");
}

// Moving from one sample to the next redraws the pictures in place: nothing
// of the sample before shows through.
TEST(SamplePictures, NextSampleLeavesNothingOfThePreviousOne)
{
    const GraphPictures first = drawgraphic(sample::realisticRow(1));
    GraphPictures shown = drawgraphic(sample::realisticRow(2));
    int differing = 0;
    for (int n = 1; n <= 5; ++n)
        differing += shown.image[n] != first.image[n];
    ASSERT_EQ(differing, 5) << "two samples should look different";
    const GraphRow row = sample::realisticRow(1);
    drawgraphic(shown, &row);
    for (int n = 1; n <= 6; ++n)
        EXPECT_EQ(shown.image[n], first.image[n]) << "Image" << n;
}
