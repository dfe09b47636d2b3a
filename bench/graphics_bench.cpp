// One full redraw of a sample's graphs (LMNE and RET matrices, three
// histograms) against the time of one 60 Hz frame.
#include "graphics/drawgraphic.h"
#include "samplerow.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const graphics::GraphRow row = sample::realisticRow();
    graphics::GraphPictures pictures = graphics::blankGraphPictures();
    graphics::drawgraphic(pictures, &row); // warm-up: fonts, glyph caches

    const int rounds = 500;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i)
        graphics::drawgraphic(pictures, &row);
    const double ms = double(t.nsecsElapsed()) / 1e6 / rounds;
    const double frame = 1000.0 / 60.0;
    std::printf("drawgraphic (realistic row, 6 pictures): %.3f ms per redraw\n", ms);
    std::printf("ratio one 60 Hz frame (16.7 ms) / one redraw: %.1f\n", frame / ms);
    return 0;
}
