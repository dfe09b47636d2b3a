#include "base/currency.h"

#include <cmath>
#include <limits>

namespace {
constexpr __int128 kMax = std::numeric_limits<qint64>::max();

__int128 pow10i(int k)
{
    __int128 p = 1;
    while (k-- > 0)
        p *= 10;
    return p;
}
} // namespace

qint64 roundHalfEvenDiv(__int128 a, int k)
{
    if (k <= 0)
        return static_cast<qint64>(a * pow10i(-k));
    const __int128 p = pow10i(k);
    const bool neg = a < 0;
    __int128 m = neg ? -a : a;
    __int128 q = m / p;
    const __int128 r = m % p;
    if (r * 2 > p || (r * 2 == p && (q % 2) == 1))
        ++q;
    return static_cast<qint64>(neg ? -q : q);
}

std::optional<Currency> Currency::fromText(const QString &text)
{
    int i = 0;
    const int n = text.size();
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    bool neg = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        neg = text[i] == QLatin1Char('-');
        ++i;
    }
    __int128 mant = 0;
    int fracDigits = 0;
    int digits = 0;
    bool point = false;
    bool overflow = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128) {
            ++digits;
            if (mant < pow10i(30)) {
                mant = mant * 10 + (c.unicode() - '0');
                if (point)
                    ++fracDigits;
            } else if (!point) {
                overflow = true;
            }
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0 && !point)
        return std::nullopt;
    int exp = 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        bool eneg = false;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
            eneg = text[i] == QLatin1Char('-');
            ++i;
        }
        int ed = 0;
        for (; i < n && text[i].unicode() >= '0' && text[i].unicode() <= '9'; ++i) {
            if (exp < 10000)
                exp = exp * 10 + (text[i].unicode() - '0');
            ++ed;
        }
        if (ed == 0)
            return std::nullopt;
        if (eneg)
            exp = -exp;
    }
    if (i != n || overflow)
        return std::nullopt;
    // value = mant * 10^(exp - fracDigits); scaled = value * 10^4
    const int shift = exp - fracDigits + 4;
    if (mant == 0)
        return Currency();
    if (shift >= 0) {
        if (shift > 19)
            return std::nullopt;
        const __int128 v = mant * pow10i(shift);
        if (v > kMax)
            return std::nullopt;
        return fromScaled(static_cast<qint64>(neg ? -v : v));
    }
    if (-shift > 36)
        return Currency();
    const qint64 q = roundHalfEvenDiv(mant, -shift);
    return fromScaled(neg ? -q : q);
}

std::optional<Currency> Currency::fromDouble(double d)
{
    if (!std::isfinite(d))
        return std::nullopt;
    const double s = std::nearbyint(d * kScale);
    if (std::fabs(s) >= 9.2e18)
        return std::nullopt;
    return fromScaled(static_cast<qint64>(s));
}

std::optional<Currency> Currency::fromVariant(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return std::nullopt;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return fromInt(v.toLongLong());
    case QMetaType::Double:
        return fromDouble(v.toDouble());
    default:
        return fromText(v.toString());
    }
}

std::optional<Currency> Currency::times(const Currency &o) const
{
    // The product is scaled by 10^8; bring it back to 10^4.
    const __int128 p = static_cast<__int128>(m_v) * o.m_v;
    const __int128 m = p < 0 ? -p : p;
    if (m / kScale > kMax)
        return std::nullopt;
    return fromScaled(roundHalfEvenDiv(p, 4));
}

QString Currency::format(int decimals) const
{
    if (decimals < 0)
        decimals = 0;
    qint64 v;
    int d = decimals;
    if (d <= 4) {
        v = roundHalfEvenDiv(m_v, 4 - d);
    } else {
        v = m_v; // pad with zeros below
    }
    const bool neg = v < 0;
    quint64 a = neg ? quint64(-(v + 1)) + 1 : quint64(v);
    const int shownDigits = d <= 4 ? d : 4;
    QString digits = QString::number(a);
    if (shownDigits > 0) {
        while (digits.size() <= shownDigits)
            digits.prepend(QLatin1Char('0'));
        digits.insert(digits.size() - shownDigits, QLatin1Char('.'));
        if (d > 4)
            digits.append(QString(d - 4, QLatin1Char('0')));
    } else if (d > 4) {
        digits.append(QLatin1Char('.') + QString(d - 4, QLatin1Char('0')));
    }
    if (neg && a != 0)
        digits.prepend(QLatin1Char('-'));
    return digits;
}

QString Currency::shortest() const
{
    QString s = format(4);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    if (s == QLatin1String("-0"))
        s = QStringLiteral("0");
    return s;
}
