#pragma once
// Exact fixed-point money-style number with four decimals, as the item
// conversion factors and control targets are kept. Arithmetic that must
// round to four decimals runs on the scaled integer, never on a double.
#include <QString>
#include <QVariant>
#include <optional>

class Currency
{
public:
    static constexpr qint64 kScale = 10000;

    Currency() = default;
    static Currency fromScaled(qint64 scaled) { Currency c; c.m_v = scaled; return c; }
    static Currency fromInt(qint64 v) { return fromScaled(v * kScale); }

    // Decimal text as isnum() accepts it (leading blanks, sign, '.', exponent),
    // rounded half to even to four decimals. nullopt when not a number or too large.
    static std::optional<Currency> fromText(const QString &text);
    // A REAL column value: the nearest four-decimal value.
    static std::optional<Currency> fromDouble(double d);
    // A column value (NULL gives nullopt).
    static std::optional<Currency> fromVariant(const QVariant &v);

    qint64 scaled() const { return m_v; }
    double toDouble() const { return double(m_v) / kScale; }

    // Product rounded half to even to four decimals; nullopt on overflow.
    std::optional<Currency> times(const Currency &o) const;

    // Fixed text with n decimals, rounded half to even on the exact value.
    QString format(int decimals) const;
    // Shortest decimal text of the value ("12.5", "3", "-0.0001").
    QString shortest() const;

    bool operator==(const Currency &o) const { return m_v == o.m_v; }
    bool operator!=(const Currency &o) const { return m_v != o.m_v; }
    bool operator<(const Currency &o) const { return m_v < o.m_v; }

private:
    qint64 m_v = 0;
};

// Divides a by 10^k rounding half to even (k >= 0).
qint64 roundHalfEvenDiv(__int128 a, int k);
