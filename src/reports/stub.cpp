#include "reports/stub.h"

#include "platform/db/command.h"
#include "platform/db/dataset.h"
#include "platform/report/printing.h"
#include "workstation/samplelist.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cmath>

namespace reports {

bool stubSamples(db::Dataset &list, std::vector<StubSample> *out, QString *error)
{
    out->clear();
    const QString results = ws::testresultQuery(QString());
    for (int i = 0; i < list.recordCount(); ++i) {
        auto text = [&](const char *f) { return list.valueAt(i, QLatin1String(f)).toString(); };
        StubSample s{text("shelfid"), text("name"), text("depart"), text("age"), {}};
        QVector<QVariantList> rows;
        QStringList columns;
        if (!db::select(results, {s.shelfid, list.valueAt(i, QStringLiteral("checkdate"))}, &rows, error, &columns))
            return false;
        const int abbreviation = columns.indexOf(QStringLiteral("abbreviation"));
        const int value = columns.indexOf(QStringLiteral("value"));
        for (const QVariantList &r : rows)
            s.results.push_back({r.value(abbreviation).toString(), r.value(value).toString()});
        out->push_back(std::move(s));
    }
    return true;
}

QByteArray toGbk(const QString &s)
{
    QStringEncoder enc("GBK");
    if (!enc.isValid())
        throw report::ReportError(QStringLiteral("没有 GBK 编码"));
    return enc.encode(s);
}

QString fromGbk(const QByteArray &b)
{
    QStringDecoder dec("GBK");
    if (!dec.isValid())
        throw report::ReportError(QStringLiteral("没有 GBK 编码"));
    return dec.decode(b);
}

QByteArray trimBytes(const QByteArray &b)
{
    int from = 0, to = b.size();
    while (from < to && quint8(b[from]) <= 0x20)
        ++from;
    while (to > from && quint8(b[to - 1]) <= 0x20)
        --to;
    return b.mid(from, to - from);
}

QByteArray firstBytes(const QByteArray &b, int n)
{
    if (n <= 0)
        return {};
    if (n >= b.size())
        return b;
    QByteArray out = b.left(n);
    // Walk the characters: a lead byte (0x81..0xFE) takes the next byte with it.
    int i = 0;
    while (i < n) {
        if (quint8(out[i]) >= 0x81 && quint8(out[i]) <= 0xFE) {
            if (i + 1 >= n) {
                out[i] = ' ';
                break;
            }
            i += 2;
        } else {
            ++i;
        }
    }
    return out;
}

namespace {

QByteArray blanks(int n)
{
    return n > 0 ? QByteArray(n, ' ') : QByteArray();
}

// The first `take` bytes of the trimmed text, padded to `width` as if the
// text were as long as its first `measure` bytes.
QByteArray column(const QString &text, int take, int measure, int width)
{
    const QByteArray t = trimBytes(toGbk(text));
    return firstBytes(t, take) + blanks(width - int(std::min<qsizetype>(t.size(), measure)));
}

// The sample number whole, in a column of 4 and a blank: a longer number
// pushes the rest of its line right rather than lose a digit.
QByteArray numberColumn(const QString &shelfid)
{
    const QByteArray t = trimBytes(toGbk(shelfid));
    return t + blanks(std::max(5 - int(t.size()), 1));
}

// The age in a column of 4: its first 2 bytes, which drops a unit after
// one or two digits, but never fewer than up to its last digit.
QByteArray ageColumn(const QString &age)
{
    const QByteArray t = trimBytes(toGbk(age));
    int n = 2;
    // GBK's second bytes are never ASCII digits.
    for (int i = 0; i < t.size(); ++i)
        if (t[i] >= '0' && t[i] <= '9')
            n = std::max(n, i + 1);
    const QByteArray shown = firstBytes(t, n);
    return shown + blanks(4 - int(shown.size()));
}

QByteArray rightTrimmed(QByteArray b)
{
    while (!b.isEmpty() && b.back() == ' ')
        b.chop(1);
    return b;
}

const QByteArray Rule(100, '=');

} // namespace

QByteArray stubSampleParts(const StubSample &s)
{
    return " " + numberColumn(s.shelfid) + column(s.name, 6, 6, 8) + column(s.depart, 8, 6, 10) + ageColumn(s.age);
}

QByteArray stubResultPart(const StubResult &r)
{
    return " " + column(r.abbreviation, 6, 6, 8) + column(r.value, 6, 6, 6);
}

QList<QByteArray> stubHeader(const QDate &today)
{
    return {blanks(42) + toGbk(QStringLiteral("病人存根(") + today.toString(QStringLiteral("yyyy-MM-dd"))
                               + QLatin1Char(')')),
            Rule, toGbk(QStringLiteral(" 编号 姓  名  科    别 年龄")) + blanks(36) + toGbk(QStringLiteral("结  果")),
            Rule};
}

QList<QByteArray> stubLines(const std::vector<StubSample> &samples, const QDate &today)
{
    QList<QByteArray> out;
    int counter = 0;
    auto addstubhead = [&]() {
        out += stubHeader(today);
        counter += 4;
    };
    addstubhead();
    for (const StubSample &s : samples) {
        QByteArray line = stubSampleParts(s);
        const int n = int(s.results.size());
        int r = 0;
        while (r < n) {
            for (int k = 0; k < 5 && r < n; ++k, ++r)
                line += stubResultPart(s.results[r]);
            ++counter;
            if (counter <= 63) {
                out.append(rightTrimmed(line));
            } else {
                // The page is full: this line opens the next page, uncounted.
                out.append(Rule);
                for (int b = 0; b < 7; ++b)
                    out.append(" ");
                counter = 0;
                addstubhead();
                out.append(rightTrimmed(line));
            }
            line = blanks(28);
        }
    }
    out.append(Rule);
    return out;
}

QByteArray stubFileText(const QList<QByteArray> &lines)
{
    QByteArray out;
    for (const QByteArray &l : lines)
        out += l + "\r\n";
    return out;
}

int leadingNumber(const QString &text)
{
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        negative = t[i++] == QLatin1Char('-');
    qint64 v = 0;
    for (; i < t.size() && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'); ++i)
        v = std::min<qint64>(v * 10 + (t[i].unicode() - '0'), qint64(INT_MAX));
    return int(negative ? -v : v);
}

std::optional<std::pair<int, int>> stubRange(const QString &text)
{
    const QString r = text.trimmed();
    const int dash = r.indexOf(QLatin1Char('-'));
    if (dash < 0)
        return std::nullopt;
    return std::make_pair(leadingNumber(r.left(dash)), leadingNumber(r.mid(dash + 1)));
}

std::vector<QStringList> stubSheets(const QStringList &lines, int perSheet)
{
    std::vector<QStringList> sheets(1);
    perSheet = std::max(perSheet, 1);
    int blankRun = 0;
    bool afterRule = false;
    for (int i = 0; i < lines.size(); ++i) {
        // A page end: the rule followed by seven lines of one blank.
        const bool pageEndBlank = lines[i] == QLatin1String(" ") && (afterRule || blankRun > 0);
        if (pageEndBlank) {
            ++blankRun;
            afterRule = false;
        } else {
            blankRun = 0;
            afterRule = lines[i] == QString(100, QLatin1Char('='));
        }
        // The blanks of a page end only fill its sheet: those the sheet has
        // no room for would begin a sheet of nothing.
        if (sheets.back().size() >= perSheet) {
            if (!pageEndBlank)
                sheets.emplace_back();
        }
        if (sheets.back().size() < perSheet)
            sheets.back().append(lines[i]);
        if (blankRun == 7 && i + 1 < lines.size()) {
            sheets.emplace_back();
            blankRun = 0;
        }
    }
    return sheets;
}

namespace {

constexpr double TopMm = 5, LeftMm = 8, BottomMm = 5, RightMm = 4;
constexpr int LinePx = 15, ColumnPx = 7;

// Chinese in the 14 px face of the list; Latin text in a fixed-pitch face
// sized so that its advance fits the half-width column.
report::FontSpec textFont(bool wide)
{
    report::FontSpec f;
    f.family = wide ? QStringLiteral("宋体") : QStringLiteral("DejaVu Sans Mono");
    f.pointSize = wide ? 10.5 : 8.5;   // 14 px; 11.3 px with a 6.8 px advance
    return f;
}

// Columns of a line as printed: a Chinese character takes two.
int columnsOf(const QString &line)
{
    int n = 0;
    for (const QChar ch : line)
        n += ch.unicode() < 0x80 ? 1 : 2;
    return n;
}

} // namespace

double textScale(const QStringList &lines, const QPageSize &page)
{
    int widest = 0;
    for (const QString &l : lines)
        widest = std::max(widest, columnsOf(l));
    const double room = page.size(QPageSize::Millimeter).width() - LeftMm - RightMm;
    return widest > 0 ? std::min(1.0, room / (widest * report::pxToMm(ColumnPx))) : 1.0;
}

int linesPerSheet(const QPageSize &page, double scale)
{
    const double h = page.size(QPageSize::Millimeter).height() - TopMm - BottomMm;
    return std::max(1, int(std::floor(h / (report::pxToMm(LinePx) * scale))));
}

void printTextLines(const QStringList &lines, const TextPrintSetup &setup)
{
    report::PrintJob job;
    job.printerIndex = setup.printerIndex;
    job.title = setup.title;
    // The whole list in one type size, so that its columns stay the same
    // from sheet to sheet.
    const double scale = textScale(lines, setup.pageSize);
    const double columnMm = report::pxToMm(ColumnPx) * scale, lineMm = report::pxToMm(LinePx) * scale;
    report::FontSpec wideFont = textFont(true), narrowFont = textFont(false);
    wideFont.pointSize *= scale;
    narrowFont.pointSize *= scale;
    for (const QStringList &sheet : stubSheets(lines, linesPerSheet(setup.pageSize, scale))) {
        report::ReportForm form;
        form.instanceName = QStringLiteral("stub");
        form.pageSize = setup.pageSize;
        form.setMargins(TopMm, LeftMm, BottomMm, RightMm);
        form.title = setup.title;
        form.printerIndex = setup.printerIndex;
        for (int l = 0; l < sheet.size(); ++l) {
            // Each character at its own column, so the columns hold whatever
            // the widths of the face's glyphs.
            int col = 0;
            const QString &line = sheet[l];
            for (int c = 0; c < line.size(); ++c) {
                const QChar ch = line[c];
                const int width = ch.unicode() < 0x80 ? 1 : 2;
                if (!ch.isSpace()) {
                    report::ReportItem it;
                    it.kind = report::ItemKind::Label;
                    it.name = QStringLiteral("line%1_%2").arg(l).arg(c);
                    it.text = ch;
                    it.font = width == 2 ? wideFont : narrowFont;
                    it.autoSize = false;
                    it.mm = QRectF(col * columnMm, l * lineMm, (width + 0.3) * columnMm, lineMm);
                    form.add(std::move(it));
                }
                col += width;
            }
        }
        job.pages.push_back(report::resolve(form, report::emptyRecord()));
    }
    report::print(job);
}

} // namespace reports
