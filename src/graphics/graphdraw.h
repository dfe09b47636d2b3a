#pragma once
// The pieces of a sample's graphs: histograms (drawcurve) and scatter
// matrices (graphborder, drawmatrix, getmatrixdotcolor). Each draws on the
// picture it is given and reads nothing else.
#include "graphics/canvas.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVector>

namespace graphics {

// The colour of the graph panel, which clears every picture.
constexpr TColor kPanelColor = clr::White;

// Blanks and control characters (codes up to 32) removed at both ends.
QByteArray trimmedList(const QByteArray &s);

// Whole numbers of a threshold or discriminator list, in order. Digits and
// "." make up a number; a blank or the end of the list ends it; any other
// character is skipped (so "-5" is 5 and a tab joins its neighbours). A
// number is read up to its first "."; a number with no digit before the
// "." or beyond 32 bits is dropped. At most maxCount numbers are kept.
QVector<int> readThresholds(const QByteArray &list, int maxCount = -1);

// Height in pixels of one histogram channel: (byte - 32) div divisor.
inline int channelValue(char byte, int divisor)
{
    return (int(static_cast<unsigned char>(byte)) - 32) / divisor;
}

// One histogram of kind "RBC", "PLT" or "BAS": curve with dip filter,
// discriminator lines (dotted; the pen stays dotted for the ticks), caption
// kind + "(f1)", tick marks and scale labels. The bottom 10 rows of the
// picture are not cleared. `thresholds` is the trimmed discriminator list.
void drawcurve(QImage &image, const QString &kind, const QByteArray &data,
               const QByteArray &thresholds);

// The 19 separator points of a scatter matrix in pixels, from t1..t15.
// Without fifteen thresholds there are no points (valid is false): dots are
// then black and no separator line is drawn.
struct MatrixPoints
{
    bool valid = false;
    qint64 X[19] = {};
    qint64 Y[19] = {};
};
MatrixPoints matrixPoints(const QVector<int> &t, int L, int T, int s);

// Resizes the picture to 142*s square, clears it, draws the frame and its
// tick marks. For the title "RET" also writes "RET" and the RET lines from
// `retThresholds` (r1..r8, read untrimmed; fewer than eight: no lines).
void graphborder(QImage &image, int L, int T, int s, TColor colour, const QString &title,
                 const QByteArray &retThresholds = {});

// Writes "LMNE", draws the dots of `dots` (32 hex digits per row, top row
// first, most significant bit leftmost) coloured by region, then the nine
// solid and three dotted separator lines. Returns the points it used.
MatrixPoints drawmatrix(QImage &image, int L, int T, int s, TColor lineColour,
                        const QByteArray &dots, const QByteArray &thresholds);

// Colour of the dot at pixel (x, y): black, then nine rules in order, the
// last one that holds deciding. Black when the points are not valid.
TColor getmatrixdotcolor(const MatrixPoints &m, qint64 x, qint64 y);

} // namespace graphics
