#include "samplerow.h"

#include <array>
#include <cmath>
#include <functional>
#include <random>

namespace sample {

namespace {

double bell(double x, double mid, double width) { return std::exp(-std::pow((x - mid) / width, 2)); }

// One character per channel: code 32 + height * divisor, with some noise.
QByteArray histogram(int divisor, double maxHeight, const std::function<double(double)> &shape, std::mt19937 &rng)
{
    std::normal_distribution<double> noise(0.0, 0.6);
    QByteArray out;
    for (int x = 1; x <= 128; ++x) {
        const double h = std::max(0.0, maxHeight * shape(x) + noise(rng) * std::min(1.0, 4 * shape(x)));
        out.append(char(std::min(126L, 32 + std::lround(h * divisor))));
    }
    return out;
}

// Gaussian clusters {u, v, spread, count} in a 128 x 128 field, as 32 hex
// digits per row, top row first.
QByteArray scatter(std::initializer_list<std::array<double, 4>> clusters, std::mt19937 &rng)
{
    QVector<int> bits(128 * 32, 0);
    for (const auto &c : clusters) {
        std::normal_distribution<double> du(c[0], c[2]), dv(c[1], c[2]);
        for (int k = 0; k < int(c[3]); ++k) {
            const long u = std::lround(du(rng)) - 1, v = std::lround(dv(rng));
            if (u >= 0 && u < 128 && v >= 0 && v < 128)
                bits[(127 - v) * 32 + u / 4] |= 8 >> (u % 4);
        }
    }
    QByteArray out;
    for (int b : bits)
        out.append("0123456789ABCDEF"[b]);
    return out;
}

} // namespace

graphics::GraphRow realisticRow(unsigned seed)
{
    std::mt19937 rng(seed);
    graphics::GraphRow row;
    row.a[1] = "0123 R1 ";
    row.a[2] = histogram(5, 17.0, [](double x) { return bell(x, 36, 11); }, rng);
    row.a[3] = histogram(5, 16.0, [](double x) { return x < 4 ? x / 4 : std::exp(-(x - 4) / 14) * (1 + 0.2 * std::sin(x / 5)); }, rng);
    row.a[4] = histogram(1, 40.0, [](double x) { return bell(x, 28, 9) + 0.25 * bell(x, 80, 10); }, rng);
    // Lymphocytes, monocytes, neutrophils, eosinophils, plus debris.
    row.a[5] = scatter({{32, 22, 6, 700}, {55, 30, 5, 160}, {92, 58, 10, 1200}, {88, 108, 7, 90}, {8, 6, 4, 120}}, rng);
    row.a[6] = scatter({{20, 30, 11, 900}, {60, 50, 11, 80}}, rng);
    // a7 stays empty; a8..a12 are the threshold lists.
    int n = 8;
    for (const char *list : {"22 120 ", "4 90", " 45", "15 25 45 35 110 20 50 60 70 75 95 0 45 95 65",
                             "40 60 80 100 70 120 160 150"})
        row.a[n++] = list;
    return row;
}

} // namespace sample
