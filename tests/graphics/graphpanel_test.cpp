// The graph panel: layout, drawing into its images, the pop-up menu items.
#include "graphics/graphpanel.h"
#include "pixels.h"
#include "samplerow.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace graphics;

TEST(GraphPanel, ImagesAndCaptionsAtTheirPlaces)
{
    QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("WenQuanYi Micro Hei"));
    GraphPanel panel;
    EXPECT_EQ(panel.objectName(), QStringLiteral("Panel1"));
    EXPECT_EQ(panel.width(), 158);
    const QRect geo[7] = {{}, {12, 60, 142, 142}, {12, 254, 142, 60}, {12, 330, 142, 60},
                          {12, 412, 142, 60}, {164, 66, 142, 142}, {164, 254, 142, 60}};
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(panel.image(n)->objectName(), QStringLiteral("Image%1").arg(n));
        EXPECT_EQ(panel.image(n)->geometry(), geo[n]) << n;
        EXPECT_EQ(panel.findChild<QLabel *>(QStringLiteral("Image%1").arg(n)), panel.image(n));
    }
    EXPECT_TRUE(panel.image(1)->hasScaledContents());
    EXPECT_TRUE(panel.image(5)->hasScaledContents());
    EXPECT_EQ(panel.Label8()->text(), QStringLiteral("矩阵图："));
    EXPECT_EQ(panel.Label8()->pos(), QPoint(8, 24));
    EXPECT_EQ(panel.Label9()->text(), QStringLiteral("曲线图："));
    EXPECT_EQ(panel.Label9()->pos(), QPoint(8, 224));
    const QFont f = panel.Label9()->font();
    EXPECT_TRUE(f.bold() && f.italic() && f.underline());
    EXPECT_EQ(f.pixelSize(), 16);
    EXPECT_EQ(panel.Label9()->palette().color(QPalette::WindowText), QColor(128, 0, 0));
}

TEST(GraphPanel, DrawsAndClearsItsImages)
{
    GraphPanel panel;
    const GraphRow row = sample::realisticRow();
    panel.drawgraphic(row);
    const GraphPictures expected = graphics::drawgraphic(row);
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(panel.picture(n), expected.image[n]) << n;
        EXPECT_EQ(panel.image(n)->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
                  expected.image[n]) << n;
    }
    panel.clear();
    for (int n = 1; n <= 6; ++n)
        EXPECT_TRUE(px::allOf(panel.picture(n), clr::White)) << n;
}

TEST(GraphPanel, MenuItemsAndDoubleClick)
{
    GraphPanel panel;
    panel.show();
    panel.N1X1Click();
    EXPECT_EQ(panel.image(1)->size(), QSize(142, 142));
    panel.N2X1Click();
    panel.N3X1Click();
    EXPECT_EQ(panel.image(1)->size(), QSize(142, 142));

    QSignalSpy spy(&panel, &GraphPanel::doubleClicked);
    QTest::mouseDClick(panel.image(3), Qt::LeftButton);
    QTest::mouseDClick(&panel, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_GE(spy.count(), 2);
}
