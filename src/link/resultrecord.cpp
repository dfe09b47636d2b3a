#include "link/resultrecord.h"

#include "app/textutil.h"

#include <limits>

namespace intake {

namespace {

// __int128 power of ten for small k.
__int128 pow10(int k)
{
    __int128 p = 1;
    while (k-- > 0)
        p *= 10;
    return p;
}

// The exact value of a numeric text as mantissa * 10^exp10 (the text has
// passed isnum, so the grammar is known). nullopt when absurdly large.
struct Decimal
{
    __int128 mant = 0;
    int exp10 = 0;
};

std::optional<Decimal> parseDecimal(const QByteArray &s)
{
    Decimal d;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && s[i] == ' ')
        ++i;
    bool neg = false;
    if (i < n && (s[i] == '+' || s[i] == '-'))
        neg = s[i++] == '-';
    bool point = false;
    for (; i < n; ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            if (d.mant > pow10(30))
                return std::nullopt;
            d.mant = d.mant * 10 + (c - '0');
            if (point)
                --d.exp10;
        } else if (c == '.') {
            point = true;
        } else {
            break;
        }
    }
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool eneg = false;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            eneg = s[i++] == '-';
        int e = 0;
        for (; i < n; ++i) {
            e = e * 10 + (s[i] - '0');
            if (e > 1000)
                e = 1000;
        }
        d.exp10 += eneg ? -e : e;
    }
    if (neg)
        d.mant = -d.mant;
    return d;
}

// number * factor, rounded half to even to four decimals; nullopt when it
// leaves the range of the currency type.
std::optional<Currency> multiply(const Decimal &d, const Currency &factor)
{
    // d * factor.scaled / 10^4 is the product; its scaled form is
    // d.mant * factor.scaled * 10^exp10.
    const __int128 limit = __int128(std::numeric_limits<qint64>::max());
    __int128 p = d.mant * __int128(factor.scaled());
    if (p == 0)
        return Currency();
    if (d.exp10 >= 0) {
        for (int k = 0; k < d.exp10; ++k) {
            p *= 10;
            if (p > limit || p < -limit)
                return std::nullopt;
        }
        if (p > limit || p < -limit)
            return std::nullopt;
        return Currency::fromScaled(qint64(p));
    }
    if (-d.exp10 > 36)
        return Currency();
    const __int128 m = p < 0 ? -p : p;
    if (m / pow10(-d.exp10) > limit)
        return std::nullopt;
    return Currency::fromScaled(roundHalfEvenDiv(p, -d.exp10));
}

} // namespace

QByteArray substring(const QByteArray &key, const QByteArray &text)
{
    const qsizetype at = text.indexOf(key);
    if (at < 0)
        return {};
    const qsizetype from = at + 4;
    if (from >= text.size())
        return {};
    qsizetype to = text.indexOf('\r', from);
    if (to < 0)
        to = text.size();
    return text.mid(from, to - from);
}

QString convertValue(const QByteArray &raw, const ItemDef &item)
{
    const QString text = QString::fromLatin1(raw);
    if (!item.hsyz || !isnum(text))
        return text;
    const auto d = parseDecimal(raw);
    if (!d)
        return text;
    const auto product = multiply(*d, *item.hsyz);
    if (!product)
        return text;
    const QString out = product->format(item.bitnum);
    return out.size() > kValueWidth ? text : out;
}

bool isMalformedNumber(const QString &shelfid)
{
    return shelfid.size() > kShelfidWidth || !parseWholeNumber(shelfid).has_value();
}

std::optional<ParsedRecord> parseRecord(const QByteArray &record, const QVector<ItemDef> &items)
{
    // The start of the record is a line start like any other.
    QByteArray text;
    text.reserve(record.size() + 2);
    text.append("\r\n", 2).append(record);

    const qsizetype u = text.indexOf(QByteArrayLiteral("\r\nu "));
    if (u < 0)
        return std::nullopt;
    const qsizetype numEnd = text.indexOf('\r', u + 4);
    if (numEnd < 0)
        return std::nullopt;
    ParsedRecord r;
    r.shelfid = trimCtl(QString::fromLatin1(text.mid(u + 4, numEnd - (u + 4))));
    if (r.shelfid.isEmpty())
        return std::nullopt;
    r.malformed = isMalformedNumber(r.shelfid);

    QByteArray key;
    for (const ItemDef &item : items) {
        if (item.mark.isEmpty())
            continue;
        key = QByteArrayLiteral("\r\n") + item.mark;
        const qsizetype at = text.indexOf(key);
        if (at < 0)
            continue;
        // A line that ends at its mark or separator has no value.
        const qsizetype from = at + 4;
        if (from >= text.size() || text.at(from - 1) == '\r' || text.at(from) == '\r')
            continue;
        // Five characters, but never past the end of the line.
        qsizetype to = from;
        while (to < text.size() && to - from < 5 && text.at(to) != '\r')
            ++to;
        r.values.append({item.itemid, convertValue(text.mid(from, to - from), item)});
    }

    r.graph.reserve(kGraphFields);
    for (int i = 0; i < kGraphFields; ++i) {
        const char k[] = {'\r', '\n', char(kGraphFirstMark + i), ' '};
        // An absent line is an empty text, never NULL.
        QString data = QString::fromLatin1(substring(QByteArray(k, 4), text));
        r.graph.append(data.isNull() ? QStringLiteral("") : data);
    }
    return r;
}

} // namespace intake
