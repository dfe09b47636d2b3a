#include "link/resultrecord.h"

#include "base/textutil.h"
#include "link/receivebuffer.h"

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

QString convertValue(const QByteArray &raw, const ItemDef &item, bool *converted)
{
    if (converted)
        *converted = true;
    const QString text = QString::fromLatin1(raw);
    if (!isnum(text))
        return text;
    std::optional<Currency> product;
    if (item.hsyz) {
        if (const auto d = parseDecimal(raw))
            product = multiply(*d, *item.hsyz);
    }
    const QString out = product ? product->format(item.bitnum) : QString();
    if (!product || out.size() > kValueWidth) {
        if (converted)
            *converted = false;
        return text;
    }
    return out;
}

namespace {

// Keys as the parser matches them right after a line start; the
// sample-number key first.
QVector<QByteArray> lineKeys(const QVector<ItemDef> &items)
{
    QVector<QByteArray> keys;
    keys.reserve(items.size() + kGraphFields + 1);
    keys.append(QByteArrayLiteral("u "));
    for (int i = 0; i < kGraphFields; ++i)
        keys.append(QByteArray(1, char(kGraphFirstMark + i)) + ' ');
    for (const ItemDef &item : items)
        if (!item.mark.isEmpty() && !keys.contains(item.mark))
            keys.append(item.mark);
    return keys;
}

bool endsLine(char c)
{
    return c == '\r' || c == '\n' || c == kStartOfText || c == kEndOfText;
}

} // namespace

int countRecordLines(const QByteArray &text, const QVector<ItemDef> &items, QStringList *numbers, int *beforeNumber)
{
    const QVector<QByteArray> keys = lineKeys(items);
    int count = 0;
    bool numberSeen = false;
    if (beforeNumber)
        *beforeNumber = 0;
    const qsizetype n = text.size();
    for (qsizetype from = 0; from < n; ++from) {
        if (from > 0 && !endsLine(text.at(from - 1)))
            continue;
        qsizetype end = from;
        while (end < n && !endsLine(text.at(end)))
            ++end;
        const QByteArrayView line(text.constData() + from, end - from);
        for (int k = 0; k < keys.size(); ++k) {
            if (!line.startsWith(keys[k]))
                continue;
            ++count;
            numberSeen = numberSeen || k == 0;
            if (!numberSeen && beforeNumber)
                ++*beforeNumber;
            if (k == 0 && numbers) {
                const QString number = trimCtl(QString::fromLatin1(line.sliced(2)));
                if (!number.isEmpty())
                    numbers->append(number);
            }
            break;
        }
    }
    return count;
}

bool isAmbiguousRecord(const QByteArray &record, const QVector<ItemDef> &items, QStringList *numbers)
{
    const QVector<QByteArray> keys = lineKeys(items);
    QVector<int> seen(keys.size(), 0);

    bool ambiguous = false;
    qsizetype from = 0;
    const qsizetype n = record.size();
    while (from <= n) {
        qsizetype end = record.indexOf("\r\n", from);
        if (end < 0)
            end = n;
        const QByteArrayView line(record.constData() + from, end - from);
        for (int k = 0; k < keys.size(); ++k) {
            if (!line.startsWith(keys[k]))
                continue;
            if (++seen[k] > 1)
                ambiguous = true;
            if (k == 0 && numbers) {
                const QString number = trimCtl(QString::fromLatin1(line.sliced(2)));
                if (!number.isEmpty())
                    numbers->append(number);
            }
        }
        from = end + 2;
    }
    return ambiguous;
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
    r.ambiguous = isAmbiguousRecord(record, items, &r.numbers);
    if (r.shelfid.isEmpty() && !r.ambiguous)
        return std::nullopt;
    if (r.ambiguous)
        return r;
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
        bool converted = true;
        r.values.append({item.itemid, convertValue(text.mid(from, to - from), item, &converted)});
        if (!converted)
            r.unconverted.append(item.itemid);
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
