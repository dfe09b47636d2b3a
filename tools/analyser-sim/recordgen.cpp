#include "recordgen.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>

namespace sim {

namespace {
QByteArray trimmedMark(const QString &s)
{
    QByteArray b = s.toLatin1();
    while (!b.isEmpty() && uchar(b.front()) <= 0x20)
        b.remove(0, 1);
    while (!b.isEmpty() && uchar(b.back()) <= 0x20)
        b.chop(1);
    return b;
}

bool toNumber(const QVariant &v, double *out)
{
    bool ok = false;
    const double d = v.toString().trimmed().toDouble(&ok);
    if (ok)
        *out = d;
    return ok;
}
} // namespace

bool loadSimItems(QSqlDatabase db, QVector<SimItem> *items, QString *error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT itemmark, manlow, manhigh, bitnum, hsyz FROM itemtb ORDER BY itemid"))) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    items->clear();
    while (q.next()) {
        SimItem it;
        it.mark = trimmedMark(q.value(0).toString());
        if (it.mark.size() != 1)
            continue;
        double lo = 0, hi = 0;
        // The limits are in stored units; the analyser sends them before
        // the conversion factor.
        double factor = 1;
        if (!toNumber(q.value(4), &factor) || factor <= 0)
            factor = 1;
        if (toNumber(q.value(1), &lo) && toNumber(q.value(2), &hi) && hi > lo) {
            it.low = lo / factor;
            it.high = hi / factor;
        }
        // A factor of 10 means the analyser sends one decimal more.
        const int extra = int(std::lround(std::log10(factor)));
        it.decimals = std::clamp((q.value(3).isNull() ? 1 : q.value(3).toInt()) + extra, 0, 3);
        items->append(it);
    }
    return true;
}

RecordGenerator::RecordGenerator(QVector<SimItem> items, quint64 seed, GenOptions options)
    : m_items(std::move(items)), m_rng(seed), m_opt(options)
{
    for (char c : {'@', '#', '!', '&', '$', '%'}) {
        const bool used = std::any_of(m_items.cbegin(), m_items.cend(),
                                      [c](const SimItem &i) { return i.mark.at(0) == c; });
        if (!used) {
            m_headerMark = c;
            break;
        }
    }
}

double RecordGenerator::uniform(double a, double b)
{
    return std::uniform_real_distribution<double>(a, b)(m_rng);
}

int RecordGenerator::range(int a, int b)
{
    return std::uniform_int_distribution<int>(a, b)(m_rng);
}

QByteArray RecordGenerator::value(const SimItem &item)
{
    const double r = uniform(0, 1);
    double v;
    if (r < m_opt.flagged / 2)
        return QByteArrayLiteral("---.-");
    const double span = item.high - item.low;
    const bool out = r < m_opt.outOfRange;
    if (out)
        v = uniform(0, 1) < 0.5 ? item.low - uniform(0.05, 0.5) * span : item.high + uniform(0.05, 1.0) * span;
    else
        v = uniform(item.low, item.high);
    if (v < 0)
        v = 0;
    const bool flag = r < m_opt.flagged;
    const int width = flag ? 4 : 5;
    QByteArray text;
    for (int d = item.decimals; d >= 0; --d) {
        text = QByteArray::number(v, 'f', d);
        if (text.size() <= width)
            break;
    }
    if (text.size() > width)
        text = QByteArray(width, '9');
    if (flag)
        text += out && v < item.low ? 'L' : 'H';
    return text.rightJustified(5, ' ');
}

QByteArray RecordGenerator::histogram(int channels, int peak, int scale)
{
    QByteArray out;
    out.reserve(channels);
    const double mu = uniform(channels * 0.25, channels * 0.6);
    const double sigma = uniform(channels * 0.06, channels * 0.15);
    for (int x = 0; x < channels; ++x) {
        const double g = std::exp(-(x - mu) * (x - mu) / (2 * sigma * sigma));
        int count = int(std::lround(g * peak * scale + uniform(0, 1.5) * scale));
        count = std::clamp(count, 0, 94);
        out.append(char(32 + count));
    }
    return out;
}

QByteArray RecordGenerator::matrix()
{
    static const char hex[] = "0123456789ABCDEF";
    struct Cluster { double x, y, r, density; };
    QVector<Cluster> clusters;
    const int n = range(2, 5);
    for (int i = 0; i < n; ++i)
        clusters.append({uniform(10, 118), uniform(10, 118), uniform(6, 22), uniform(0.2, 0.7)});
    QByteArray out;
    out.reserve(128 * 32);
    for (int row = 0; row < 128; ++row) {
        for (int group = 0; group < 32; ++group) {
            int nibble = 0;
            for (int bit = 0; bit < 4; ++bit) {
                const double x = group * 4 + bit;
                bool dot = false;
                for (const Cluster &c : clusters) {
                    const double d2 = (x - c.x) * (x - c.x) + (row - c.y) * (row - c.y);
                    if (d2 < c.r * c.r && uniform(0, 1) < c.density) {
                        dot = true;
                        break;
                    }
                }
                if (dot)
                    nibble |= 8 >> bit;
            }
            out.append(hex[nibble]);
        }
    }
    return out;
}

QByteArray RecordGenerator::thresholds(int count, int lo, int hi)
{
    QVector<int> v;
    for (int i = 0; i < count; ++i)
        v.append(range(lo, hi));
    std::sort(v.begin(), v.end());
    QByteArray out;
    for (int i = 0; i < v.size(); ++i) {
        if (i)
            out.append(' ');
        out.append(QByteArray::number(v[i]));
    }
    return out;
}

QString RecordGenerator::oddNumber()
{
    static const char *const kinds[] = {"A12", "1.5", "12 3", "2147483648", "1%", "1_", "O'Brien", "B-7", "%", "_"};
    QString s = QString::fromLatin1(kinds[range(0, int(std::size(kinds)) - 1)]);
    if (range(0, 2) == 0)
        s += QString::number(range(0, 99));
    return s;
}

Fault RecordGenerator::randomFault()
{
    return Fault(range(int(Fault::NoSampleNumber), int(Fault::Unterminated)));
}

GeneratedRecord RecordGenerator::record(const QString &sampleNumber, Fault fault)
{
    GeneratedRecord r;
    r.fault = fault;
    r.sampleNumber = sampleNumber;
    if (fault == Fault::OddSampleNumber)
        r.sampleNumber = oddNumber();
    else if (fault == Fault::LongSampleNumber)
        r.sampleNumber = QStringLiteral("20261206") + sampleNumber.rightJustified(4, QLatin1Char('0'));
    else if (fault == Fault::BlankSampleNumber)
        r.sampleNumber = QStringLiteral("   ");

    QByteArray &b = r.bytes;
    b.reserve(16 * 1024);
    if (m_opt.headerLine) {
        // A mark that no item, sample-number or graph line uses.
        b += m_headerMark + QByteArrayLiteral(" 5DIFF") + eol();
    }
    const QByteArray numberLine = QByteArrayLiteral("u ") + r.sampleNumber.toLatin1();
    if (fault != Fault::NoSampleNumber && fault != Fault::UnendedNumberLine)
        b += numberLine + eol();

    if (fault == Fault::StrayStartOfText)
        b += '\x02';
    const int strayEnd = fault == Fault::StrayEndOfText ? range(0, int(m_items.size()) - 1) : -1;
    for (const SimItem &item : m_items) {
        if (strayEnd == int(&item - m_items.data()))
            b += '\x03';
        if (fault == Fault::MissingItems && range(0, 2) == 0)
            continue;
        QByteArray v = value(item);
        if (fault == Fault::ShortValueLines && range(0, 2) == 0)
            v = v.trimmed().left(range(1, 4));
        else if (fault == Fault::EmptyValueLines && range(0, 2) == 0)
            v.clear();
        r.values.insert(item.mark, v);
        b += item.mark + ' ' + v + eol();
    }

    r.graph.resize(12);
    r.graph[0] = QByteArrayLiteral("00 00 00");
    r.graph[1] = histogram(128, 17, 5);
    r.graph[2] = histogram(128, 15, 5);
    r.graph[3] = histogram(128, 45, 1);
    r.graph[4] = matrix();
    r.graph[5] = matrix();
    r.graph[6] = QByteArrayLiteral("0");
    r.graph[7] = thresholds(2, 10, 120);
    r.graph[8] = thresholds(2, 5, 120);
    r.graph[9] = thresholds(2, 10, 120);
    r.graph[10] = thresholds(15, 0, 128);
    r.graph[11] = thresholds(8, 0, 128);
    for (int i = 0; i < 12; ++i) {
        if (fault == Fault::MissingGraphLines && range(0, 1) == 0) {
            r.graph[i].clear();
            continue;
        }
        b += char('W' + i);
        b += ' ';
        b += r.graph[i];
        b += eol();
    }
    if (fault == Fault::UnendedNumberLine)
        b += numberLine;
    if (fault == Fault::CutShort)
        b.truncate(range(1, int(b.size()) - 1));
    else if (fault != Fault::Unterminated)
        b += '\x03';
    return r;
}

QByteArray RecordGenerator::noise()
{
    QByteArray out;
    switch (range(0, 3)) {
    case 0: {
        // A line like a record line, with data no record sends.
        const int k = range(0, int(m_items.size()) + 11);
        out += k < m_items.size() ? m_items[k].mark : QByteArray(1, char('W' + k - m_items.size()));
        out += " N9.9";
        break;
    }
    case 1:
        // A sample-number line taken from printable noise.
        out += "u ";
        for (int i = 0; i < 70; ++i)
            out.append(char(range(0x21, 0x7e)));
        break;
    default: {
        static const char starts[] = {'\0', '\x01', '\x11', '\x13', '\x7f', '\x1b', '\xfe'};
        out.append(starts[range(0, int(sizeof starts) - 1)]);
        const int n = range(0, 40);
        for (int i = 0; i < n; ++i) {
            char c = char(range(0, 255));
            if (c == 'u')
                c = '\r';
            out.append(c);
        }
        break;
    }
    }
    out += eol();
    // A stray end of text only after noise that carries no sample number.
    if (!out.startsWith("u ") && range(0, 3) == 0)
        out.replace(out.size() - int(eol().size()), 0, QByteArrayLiteral("\x03"));
    return out;
}

QVector<GeneratedRecord> generateStream(RecordGenerator &gen, const StreamOptions &opt, QByteArray *stream,
                                        QVector<qsizetype> *hangups)
{
    QVector<GeneratedRecord> records;
    std::uniform_real_distribution<double> u(0, 1);
    for (int i = 0; i < opt.count; ++i) {
        if (u(gen.rng()) < opt.noiseRate)
            stream->append(gen.noise());
        Fault f = u(gen.rng()) < opt.faultRate ? gen.randomFault() : Fault::None;
        if (opt.strayRate > 0 && f == Fault::None && u(gen.rng()) < opt.strayRate) {
            static const Fault stray[] = {Fault::StrayEndOfText, Fault::StrayStartOfText, Fault::NoSampleNumber};
            f = stray[std::uniform_int_distribution<int>(0, 2)(gen.rng())];
        }
        const bool hangup = hangups && u(gen.rng()) < opt.hangupRate;
        if (hangup)
            f = Fault::CutShort;
        else if (f == Fault::CutShort && hangups)
            f = Fault::Unterminated;
        records.append(gen.record(QString::number(opt.firstNumber + i), f));
        stream->append(records.back().bytes);
        if (hangup)
            hangups->append(stream->size());
    }
    return records;
}

QVector<QByteArray> cutIntoChunks(const QByteArray &bytes, std::mt19937_64 &rng, int minSize, int maxSize)
{
    QVector<QByteArray> chunks;
    std::uniform_int_distribution<int> size(std::max(1, minSize), std::max(1, std::max(minSize, maxSize)));
    qsizetype at = 0;
    while (at < bytes.size()) {
        const int n = size(rng);
        chunks.append(bytes.mid(at, n));
        at += n;
    }
    return chunks;
}

} // namespace sim
