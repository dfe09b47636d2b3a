#include "graphics/graphdraw.h"

#include <limits>

namespace graphics {

QByteArray trimmedList(const QByteArray &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20)
        --e;
    return s.mid(b, e - b);
}

namespace {

// A collected number text ("12", "12.7", ".", "007") as a whole number: the
// digits before the first "."; nothing when there are none or they do not
// fit 32 bits. Such texts are skipped rather than failing, because a failure
// would stop the whole redraw in the middle of a serial event or a print run.
bool numberValue(const QByteArray &text, int &value)
{
    qint64 v = 0;
    int digits = 0;
    for (char ch : text) {
        if (ch == '.')
            break;
        v = v * 10 + (ch - '0');
        ++digits;
        if (v > std::numeric_limits<int>::max())
            return false;
    }
    if (digits == 0)
        return false;
    value = int(v);
    return true;
}

int hexValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    return 0; // anything else draws no dot but still takes its four columns
}

struct CurveKind
{
    int divisor;
    TColor colour;
    QVector<int> ticks;
    QVector<QPair<int, const char *>> labels;
};

CurveKind curveKind(const QString &kind)
{
    if (kind == QLatin1String("RBC"))
        return {5, clr::Red, {8, 38, 72, 108}, {{2, "30"}, {30, "100"}, {64, "200"}, {100, "300"}}};
    if (kind == QLatin1String("PLT"))
        return {5, clr::Yellow, {10, 36, 76, 122}, {{6, "2"}, {30, "10"}, {72, "20"}, {118, "30"}}};
    if (kind == QLatin1String("BAS"))
        return {1, clr::Navy, {76}, {{68, "300"}}};
    return {5, clr::Black, {}, {}};
}

} // namespace

QVector<int> readThresholds(const QByteArray &list, int maxCount)
{
    QVector<int> out;
    QByteArray number;
    const qsizetype n = list.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (maxCount >= 0 && out.size() >= maxCount)
            break;
        const char ch = list[i];
        if ((ch >= '0' && ch <= '9') || ch == '.')
            number += ch;
        if (ch == ' ' || i == n - 1) {
            int v = 0;
            if (!number.isEmpty() && numberValue(number, v))
                out.append(v);
            number.clear();
        }
    }
    return out;
}

void drawcurve(QImage &image, const QString &kind, const QByteArray &data,
               const QByteArray &thresholds)
{
    const CurveKind k = curveKind(kind);
    Canvas c(image);
    const qint64 W = c.width(), H = c.height();
    const auto y = [H](int v) { return H - 13 - v; };

    c.setPenStyle(Canvas::PenStyle::Solid);
    c.setBrushColor(kPanelColor);
    c.fillRect(0, 0, W, H - 10);

    const qsizetype n = data.size();
    int p = n > 0 ? channelValue(data[0], k.divisor) : 0;

    c.setPenColor(clr::Black);
    c.moveTo(1, H - 13);
    c.lineTo(130, H - 13);
    c.moveTo(1, H - 13);
    c.lineTo(1, H - 70);

    c.setPenColor(k.colour);
    // Channel k is the level from x = k to x = k + 1; past the right edge
    // nothing more can show.
    for (qsizetype i = 1; i <= n - 1 && i < W; ++i) {
        c.moveTo(i, y(p));
        c.lineTo(i + 1, y(p));
        int cur = channelValue(data[i], k.divisor); // channel i + 1
        if (i + 1 < n) {
            const int q = channelValue(data[i + 1], k.divisor);
            if (cur < std::min(p, q))
                cur = (p + q) / 2; // a one-channel dip is noise, not a valley
        }
        c.moveTo(i + 1, y(p));
        c.lineTo(i + 1, y(cur));
        p = cur;
    }

    c.setPenColor(clr::Black);
    for (int x : readThresholds(thresholds)) {
        c.setPenStyle(Canvas::PenStyle::Dot);
        c.moveTo(x, H - 13);
        c.lineTo(x, 2);
    }
    // The pen stays as the discriminators left it: ticks below are dotted
    // once a discriminator was drawn.

    c.textOut(60, int(H - 60), kind + QStringLiteral("(f1)"));
    for (int x : k.ticks) {
        c.moveTo(x, H - 13);
        c.lineTo(x, H - 18);
    }
    for (const auto &l : k.labels)
        c.textOut(l.first, int(H - 12), QString::fromLatin1(l.second));
}

MatrixPoints matrixPoints(const QVector<int> &t, int L, int T, int s)
{
    MatrixPoints m;
    if (t.size() < 15)
        return m;
    const auto tt = [&t](int i) { return qint64(t[i - 1]); };
    const qint64 uv[19][2] = {
        {tt(1), 0},        {tt(1), tt(13)},   {tt(2), tt(13)},   {tt(2), tt(14)},
        {tt(3), tt(14)},   {tt(3), 128},      {tt(5), 0},        {tt(5), tt(14)},
        {tt(1), tt(13)},   {tt(8), tt(13)},   {tt(2), tt(14)},   {128, tt(14)},
        {tt(11), tt(15)},  {tt(5), tt(15)},   {tt(10), tt(13)},  {tt(11), tt(15)},
        {tt(8), tt(13)},   {tt(9), 0},        {tt(7), tt(13)},
    };
    for (int i = 0; i < 19; ++i) {
        m.X[i] = (L + 3 + uv[i][0]) * s;
        m.Y[i] = (T + 131 - uv[i][1]) * s;
    }
    m.valid = true;
    return m;
}

void graphborder(QImage &image, int L, int T, int s, TColor colour, const QString &title,
                 const QByteArray &retThresholds)
{
    const int side = 142 * s;
    if (image.size() != QSize(side, side) || image.format() != QImage::Format_RGB32)
        image = QImage(side, side, QImage::Format_RGB32);
    Canvas c(image);
    c.setBrushColor(kPanelColor);
    c.fill();

    for (int i = 1; i <= 133; ++i) {
        c.setPixel((L + i) * s, (T + 1) * s, colour);
        c.setPixel((L + i) * s, (T + 133) * s, colour);
        c.setPixel((L + 1) * s, (T + i) * s, colour);
        c.setPixel((L + 133) * s, (T + i) * s, colour);
    }
    for (int j = 1; j <= 121; j += 10) {
        c.setPixel((L + j + 2) * s, (T - 1) * s, colour);
        c.setPixel((L + j + 2) * s, T * s, colour);
        c.setPixel((L + j + 2) * s, (T + 134) * s, colour);
        c.setPixel((L + j + 2) * s, (T + 135) * s, colour);
        c.setPixel(L * s, (T + j + 10) * s, colour);
        c.setPixel((L - 1) * s, (T + j + 10) * s, colour);
        c.setPixel((L + 134) * s, (T + j + 10) * s, colour);
        c.setPixel((L + 135) * s, (T + j + 10) * s, colour);
    }

    if (title != QLatin1String("RET"))
        return;
    const QVector<int> r = readThresholds(retThresholds, 8);
    c.textOut((L + 3) * s, (T + 8) * s, QStringLiteral("RET"));
    if (r.size() < 8)
        return; // without all eight thresholds there is nothing sound to draw
    const auto h = [T, s](qint64 v) { return (T + 131 - v) * s; };
    const qint64 xr = (L + 3 + qint64(r[0])) * s;
    c.setPenStyle(Canvas::PenStyle::Solid);
    c.moveTo(xr, h(0));
    c.lineTo(xr, (T + 4) * s);
    c.moveTo(xr, h(r[7] / 2));
    c.lineTo((L + 3) * s, h(r[7] / 2));
    for (int i : {4, 5, 6}) {
        c.moveTo(xr, h(r[i] / 2));
        c.lineTo((L + 130) * s, h(r[i] / 2));
    }
    c.setPenStyle(Canvas::PenStyle::Dot);
    for (int i : {1, 2, 3}) {
        const qint64 x = (L + 3 + qint64(r[i])) * s;
        c.moveTo(x, h(0));
        c.lineTo(x, h(r[7] / 2));
    }
}

MatrixPoints drawmatrix(QImage &image, int L, int T, int s, TColor lineColour,
                        const QByteArray &dots, const QByteArray &thresholds)
{
    const QVector<int> t = readThresholds(thresholds, 15);
    Canvas c(image);
    c.setBrushColor(kPanelColor);
    c.textOut((L + 3) * s, (T + 8) * s, QStringLiteral("LMNE"));
    c.setPenColor(lineColour);
    c.setPenStyle(Canvas::PenStyle::Solid);
    c.setPenWidth(1);

    const MatrixPoints m = matrixPoints(t, L, T, s);

    const qsizetype n = dots.size();
    for (qsizetype k = 0; k < n; ++k) {
        const qint64 row = k / 32 + 1;
        const qint64 y = (T + 3 + row) * s;
        if (y >= c.height())
            break; // every later row lies further down, below the picture
        const int v = hexValue(dots[k]);
        if (v == 0)
            continue;
        const qint64 group = k % 32 + 1;
        for (int b = 1; b <= 4; ++b) {
            if (v & (8 >> (b - 1))) {
                const qint64 x = (L + 3 + 4 * (group - 1) + b) * s;
                c.setPixel(x, y, getmatrixdotcolor(m, x, y));
            }
        }
    }
    if (!m.valid)
        return m;

    static const int solid[9][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {8, 9},
                                    {10, 11}, {12, 13}, {14, 15}, {16, 17}};
    for (const auto &l : solid) {
        c.moveTo(m.X[l[0]], m.Y[l[0]]);
        c.lineTo(m.X[l[1]], m.Y[l[1]]);
    }
    c.setPenStyle(Canvas::PenStyle::Dot);
    const auto px = [L, s](qint64 u) { return (L + 3 + u) * s; };
    const auto py = [T, s](qint64 v) { return (T + 131 - v) * s; };
    const qint64 t4 = t[3], t6 = t[5], t7 = t[6], t13 = t[12], t14 = t[13];
    c.moveTo(px(t6), py(0));
    c.lineTo(px(t6), py(t13));
    c.moveTo(px(t4), py(t13));
    c.lineTo(px(t4), py(t14));
    c.moveTo(px(t7), py(0));
    c.lineTo(px(t7), py(t13));
    return m;
}

TColor getmatrixdotcolor(const MatrixPoints &m, qint64 x, qint64 y)
{
    TColor colour = clr::Black;
    if (!m.valid)
        return colour;
    const qint64 *X = m.X, *Y = m.Y;
    if ((x < X[0] && y < Y[0]) || (x < X[2] && y < Y[1]) || (x < X[4] && y < Y[3]) || x > X[7])
        colour = clr::Gray;
    if (x > X[4] && y < Y[3])
        colour = clr::Red;
    if (X[2] < x && x <= X[14] && Y[3] < y && y < Y[1])
        colour = clr::Green;
    if (X[14] <= x && x < X[6] && Y[3] < y && y <= Y[12])
        colour = clr::Green;
    if (X[14] < x && x < X[15] && Y[12] < y && y <= Y[1]) {
        // Real quotients as the rule is written; both denominators are
        // negative here, so cross-multiplying would turn the comparison.
        const double line = double(Y[14] - Y[15]) / double(X[14] - X[15]);
        const double dot = double(y - Y[15]) / double(x - X[15]);
        colour = line >= dot ? clr::Fuchsia : clr::Green;
    }
    if (X[0] <= x && x < X[18] && y > Y[1])
        colour = clr::Navy;
    if (X[18] < x && x <= X[16] && y > Y[1])
        colour = clr::Teal;
    if (X[16] < x && x < X[17] && y > Y[1]) {
        const double line = double(Y[16] - Y[17]) / double(X[16] - X[17]);
        const double dot = double(y - Y[17]) / double(x - X[17]);
        colour = line >= dot ? clr::Teal : clr::Fuchsia;
    }
    if (X[17] <= x && x < X[7] && y > Y[12])
        colour = clr::Fuchsia;
    return colour;
}

} // namespace graphics
