#include "samplerow.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace sample {

const char *const kLmneThresholds = "15 25 45 35 110 20 50 60 70 75 95 0 45 95 65";

namespace {

// One character per channel: code 32 + height * divisor, kept printable.
QByteArray histogram(int channels, int divisor, double maxHeight,
                     double (*shape)(double), std::mt19937 &rng)
{
    std::normal_distribution<double> noise(0.0, 0.6);
    QByteArray out;
    for (int x = 1; x <= channels; ++x) {
        const double f = shape(x);
        double h = maxHeight * f + noise(rng) * std::min(1.0, 4 * f);
        if (h < 0)
            h = 0;
        int code = 32 + int(std::lround(h * divisor));
        if (code > 126)
            code = 126;
        out.append(char(code));
    }
    return out;
}

double rbcShape(double x) { return std::exp(-std::pow((x - 36.0) / 11.0, 2)); }
double pltShape(double x) { return x < 4 ? x / 4.0 : std::exp(-(x - 4) / 14.0) * (1 + 0.2 * std::sin(x / 5)); }
double basShape(double x) { return std::exp(-std::pow((x - 28.0) / 9.0, 2)) + 0.25 * std::exp(-std::pow((x - 80.0) / 10.0, 2)); }

struct Cluster { double u, v, su, sv; int count; };

void scatter(bool dots[128][128], const Cluster *cs, int n, std::mt19937 &rng)
{
    for (int i = 0; i < n; ++i) {
        std::normal_distribution<double> du(cs[i].u, cs[i].su), dv(cs[i].v, cs[i].sv);
        for (int k = 0; k < cs[i].count; ++k) {
            const int u = int(std::lround(du(rng))), v = int(std::lround(dv(rng)));
            if (u >= 1 && u <= 128 && v >= 0 && v <= 127)
                dots[127 - v][u - 1] = true;
        }
    }
}

} // namespace

QByteArray encodeMatrix(const bool dots[128][128])
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(4096);
    for (int r = 0; r < 128; ++r)
        for (int g = 0; g < 32; ++g) {
            int v = 0;
            for (int b = 0; b < 4; ++b)
                if (dots[r][g * 4 + b])
                    v |= 8 >> b;
            out.append(hex[v]);
        }
    return out;
}

graphics::GraphRow realisticRow(unsigned seed)
{
    std::mt19937 rng(seed);
    graphics::GraphRow row;
    row.a[1] = "0123 R1 ";
    row.a[2] = histogram(128, 5, 17.0, rbcShape, rng);
    row.a[3] = histogram(128, 5, 16.0, pltShape, rng);
    row.a[4] = histogram(128, 1, 40.0, basShape, rng);

    static bool lmne[128][128];
    static bool ret[128][128];
    for (auto &r : lmne) for (bool &b : r) b = false;
    for (auto &r : ret) for (bool &b : r) b = false;
    // Lymphocytes, monocytes, neutrophils, eosinophils, plus debris.
    const Cluster wbc[] = {{32, 22, 6, 7, 700}, {55, 30, 4, 6, 160}, {92, 58, 10, 9, 1200},
                           {88, 108, 8, 6, 90}, {8, 6, 4, 4, 120}};
    scatter(lmne, wbc, 5, rng);
    const Cluster rets[] = {{20, 30, 10, 12, 900}, {60, 50, 12, 10, 80}};
    scatter(ret, rets, 2, rng);
    row.a[5] = encodeMatrix(lmne);
    row.a[6] = encodeMatrix(ret);
    row.a[7] = "";
    row.a[8] = "22 120 ";
    row.a[9] = "4 90";
    row.a[10] = " 45";
    row.a[11] = kLmneThresholds;
    row.a[12] = "40 60 80 100 70 120 160 150";
    return row;
}

} // namespace sample
