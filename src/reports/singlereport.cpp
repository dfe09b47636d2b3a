#include "reports/singlereport.h"

#include "base/dates.h"
#include "base/session.h"
#include "base/textutil.h"
#include "platform/db/command.h"
#include "platform/db/dataset.h"
#include "platform/report/printing.h"
#include "reports/forms.h"

#include <QScopeGuard>
#include <algorithm>
#include <cmath>
#include <cstdlib>

using report::FontSpec;
using report::ReportForm;

namespace reports {

std::vector<ResultRow> resultRowsFrom(db::Dataset &rows)
{
    std::vector<ResultRow> out;
    const int count = rows.recordCount();
    for (int i = rows.currentRow(); i >= 0 && i < count; ++i) {
        auto v = [&](const char *f) { return rows.valueAt(i, QLatin1String(f)); };
        auto t = [&](const char *f) { return v(f).toString(); };
        out.push_back({t("name"), v("abbreviation"), t("value"), t("unit"),
                       t("manhigh"), t("manlow"), t("womanhigh"), t("womanlow")});
    }
    rows.last();
    rows.next();
    return out;
}

QVariantMap recordOf(const db::Dataset &ds)
{
    QVariantMap m;
    if (!ds.isOpen() || ds.isEmpty())
        return m;
    for (const QString &c : ds.columnNames())
        m.insert(c, ds.value(c));
    return m;
}

std::optional<Limits> limitsFor(const QString &sex, const ResultRow &row)
{
    if (sex == QStringLiteral("女"))
        return Limits{row.womanlow, row.womanhigh};
    if (sex == QStringLiteral("男") || sex.trimmed().isEmpty())
        return Limits{row.manlow, row.manhigh};
    return std::nullopt;
}

QString rangeText(const QString &low, const QString &high)
{
    const QString l = low.trimmed(), h = high.trimmed();
    if (!l.isEmpty() && !h.isEmpty())
        return l + QStringLiteral("--") + h;
    if (!h.isEmpty())
        return h;
    return l;
}

std::optional<double> decimalValue(const QString &text)
{
    if (!isnum(text))
        return std::nullopt;
    const QByteArray a = text.trimmed().toLatin1();
    // strtod takes everything isnum() takes except a point without digits.
    bool digit = std::any_of(a.begin(), a.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digit)
        return 0.0;
    return std::strtod(a.constData(), nullptr);
}

static std::optional<double> limitValue(const QString &limit)
{
    // A limit converts as its trimmed text; blank or text gives none.
    return decimalValue(limit.trimmed());
}

QString flagFor(const QString &value, const QString &low, const QString &high)
{
    const auto v = decimalValue(value);
    if (!v)
        return {};
    QString flag;
    if (const auto h = limitValue(high); h && *v > *h)
        flag = QStringLiteral("↑");
    if (const auto l = limitValue(low); l && *v < *l)
        flag = QStringLiteral("↓");
    return flag;
}

Layout layoutFor(const PrintSettings &s)
{
    if (s.kind == KindText)
        return Layout::Text;
    return s.paperIndex == PaperA4 || s.paperIndex == PaperB5 ? Layout::Large : Layout::HalfSheet;
}

// The text report's halves end at the footer line.
static int textRowsSpace(const ReportForm &form)
{
    const QRect head = form.px(QStringLiteral("QRLabel14"));
    return form.px(QStringLiteral("QRShape4")).top() - (head.top() + head.height());
}

int rowPitch(Layout layout, int rowCount)
{
    const bool many = rowCount >= 27;
    switch (layout) {
    case Layout::HalfSheet: return many ? 11 : 13;
    case Layout::Large: return many ? 23 : 24;
    case Layout::Text: {
        if (!many)
            return 16;
        // Rows 14 on fill the right half; squeeze them above the footer line.
        static const int space = textRowsSpace(frmtestreport2Design());
        return std::clamp(space / (rowCount - 13), 1, 16);
    }
    }
    return 16;
}

ReportForms::ReportForms()
    : frmtestreport(ReportForm::instanceOf(frmtestreportDesign())),
      frmtestreport1(ReportForm::instanceOf(frmtestreport1Design())),
      frmtestreport2(ReportForm::instanceOf(frmtestreport2Design())),
      frmtestreport3(ReportForm::instanceOf(frmtestreport3Design())),
      frmtestreport4(ReportForm::instanceOf(frmtestreport4Design())),
      a4Report(ReportForm::instanceOf(a4ReportDesign())),
      a5Report(ReportForm::instanceOf(a5ReportDesign())),
      frmnomreport(ReportForm::instanceOf(frmnomreportDesign()))
{
}

ReportForms &ReportForms::instance()
{
    static ReportForms forms;
    return forms;
}

ReportForm &ReportForms::byName(const QString &n)
{
    for (ReportForm *f : {&frmtestreport, &frmtestreport1, &frmtestreport2, &frmtestreport3,
                          &frmtestreport4, &a4Report, &a5Report, &frmnomreport})
        if (f->instanceName == n)
            return *f;
    throw report::ReportError(QStringLiteral("没有报表 %1").arg(n));
}

QStringList rowColumns(Layout layout)
{
    if (layout == Layout::Text)
        return {QStringLiteral("name"), QStringLiteral("abbreviation"), QStringLiteral("value"),
                QStringLiteral("unit"), QStringLiteral("range")};
    return {QStringLiteral("number"), QStringLiteral("name"), QStringLiteral("abbreviation"),
            QStringLiteral("value"), QStringLiteral("unit"), QStringLiteral("range"), QStringLiteral("flag")};
}

int RowLabels::free(ReportForm &form)
{
    int n = 0;
    for (auto &col : labels)
        for (QString &name : col)
            if (!name.isEmpty()) {
                n += form.remove(name) ? 1 : 0;
                name.clear();
            }
    return n;
}

namespace {

FontSpec rowFont(Layout layout, bool rangeColumn)
{
    FontSpec f;
    f.family = layout == Layout::Text && rangeColumn ? QStringLiteral("仿宋") : QStringLiteral("宋体");
    f.pointSize = layout == Layout::HalfSheet ? 9 : 10;
    return f;
}

struct Placer
{
    ReportForm &form;
    Layout layout;
    RowLabels &out;
    double fontScale = 1;   // below 1 when the rows only fit in smaller type
    int row = 0;   // 0-based

    FontSpec font(const QString &colName) const
    {
        return scaledFont(rowFont(layout, colName == QLatin1String("range")), fontScale);
    }
    QString labelName(int column) const
    {
        return QStringLiteral("row_%1_%2").arg(out.columns.at(column)).arg(row + 1);
    }
    // A row label; a caption that would reach edgePx (the next column's
    // left, 0: none) is cut before it.
    QString add(int column, const QString &caption, int left, int top, int width, double edgePx = 0)
    {
        const QString name = labelName(column);
        addRowLabel(form, name, caption, font(out.columns.at(column)), QRect(left, top, width, 16), edgePx);
        out.labels[column][row] = name;
        return name;
    }
    void addNameAndAbbr(int nameCol, int abbrCol, const QString &name, const QString &abbr, int left, int top,
                        int gapPx, int edgePx)
    {
        const QString bracketed = abbr.trimmed().isEmpty() ? QString() : QLatin1Char('[') + abbr + QLatin1Char(']');
        addNameAndAbbreviation(form, labelName(nameCol), labelName(abbrCol), name, bracketed,
                               font(out.columns.at(nameCol)), left, top, gapPx, edgePx);
        out.labels[nameCol][row] = labelName(nameCol);
        if (!bracketed.isEmpty())
            out.labels[abbrCol][row] = labelName(abbrCol);
    }
};

// The pitch and type size at which rows fit between their first top and the
// footer line: the designed pitch where they fit, else the space shared out;
// where a line of the row type is taller than the pitch, the type shrinks
// with it, so rows never print over each other or over the footer.
struct RowFit
{
    int pitch;
    double fontScale;
};

RowFit fitRows(Layout layout, int pitch, int rowsInColumn, double spacePx)
{
    RowFit fit{pitch, 1.0};
    if (rowsInColumn <= 0)
        return fit;
    if (rowsInColumn * pitch > spacePx)
        fit.pitch = std::max(1, int(spacePx / rowsInColumn));
    fit.fontScale = rowTypeScale(fit.pitch, {rowFont(layout, false), rowFont(layout, true)});
    return fit;
}

} // namespace

// Space kept between a cut text and the column that follows it.
constexpr double ColumnGapMm = 0.5;

report::ReportItem &addRowLabel(ReportForm &form, const QString &name, const QString &caption, const FontSpec &font,
                                const QRect &px, double edgePx)
{
    report::ReportItem it;
    it.name = name;
    it.font = font;
    it.setPxRect(px, form.zoom);
    if (edgePx > 0)
        it.maxWidthMm = std::max(0.0, report::pxToMm(edgePx - px.left(), form.zoom) - ColumnGapMm);
    report::ReportItem &added = form.add(std::move(it));
    form.setCaption(added, caption);
    return added;
}

void addNameAndAbbreviation(ReportForm &form, const QString &nameLabel, const QString &abbrLabel, const QString &name,
                            const QString &bracketed, const FontSpec &font, int nameLeft, int top, int gapPx,
                            int edgePx)
{
    // Name and abbreviation read as one text: where they do not fit, both
    // take the same smaller type (down to half size) rather than one of
    // them shrinking alone.
    FontSpec f = font;
    const int gap = bracketed.isEmpty() ? 0 : gapPx;
    const double roomMm = report::pxToMm(edgePx - nameLeft - gap, form.zoom) - ColumnGapMm;
    const double wholeMm = report::measureTextMm(name + bracketed, font).width();
    if (wholeMm > roomMm && roomMm > 0)
        f.pointSize = std::max(font.pointSize / 2, std::floor(font.pointSize * roomMm / wholeMm * 10) / 10);
    const double abbrPx = bracketed.isEmpty() ? 0 : report::mmToPx(report::measureTextMm(bracketed, f).width(), form.zoom) + gap;
    const report::ReportItem &added = addRowLabel(form, nameLabel, name, f, QRect(nameLeft, top, 186, 16),
                                                  std::max<double>(nameLeft, edgePx - abbrPx));
    if (bracketed.isEmpty())
        return;
    // The name ends where it prints (a name still too long is cut), and
    // whole layout pixels never start the abbreviation inside it.
    double nameRight = added.mm.right();
    if (added.maxWidthMm > 0)
        nameRight = std::min(nameRight, added.mm.left() + added.maxWidthMm);
    const int nameEnd = int(std::ceil(nameRight * 96 / 25.4 * form.zoom / 100 - 1e-6));
    addRowLabel(form, abbrLabel, bracketed, f, QRect(nameEnd + gapPx, top, 186, 16), edgePx);
}

double rowTypeScale(int pitchPx, std::initializer_list<FontSpec> fonts)
{
    double lineMm = 0;
    for (const FontSpec &f : fonts)
        lineMm = std::max(lineMm, report::measureTextMm(QStringLiteral("国0"), f).height());
    const double pitchMm = report::pxToMm(pitchPx);
    return lineMm > pitchMm ? pitchMm / lineMm : 1.0;
}

FontSpec scaledFont(FontSpec font, double scale)
{
    if (scale < 1)
        font.pointSize = std::floor(font.pointSize * scale * 10) / 10;
    return font;
}

RowLabels buildReport(ReportForm &form, Layout layout, const PrintSettings &s, const ReportContent &c,
                      const ReportForms &forms)
{
    // 1, 2: printer and page.
    form.printerIndex = s.printerIndex;
    if (layout != Layout::Text) {
        const Margins m = parseMargins(s);
        if (layout == Layout::HalfSheet)
            form.setPageMm(210, s.paperIndex == PaperHalfContinuous ? 139.7 : 148.5);
        else if (s.paperIndex == PaperB5)
            form.fitToPaper(forms.a5Report.pageSize);   // the A4 report, smaller
        else
            form.pageSize = forms.a4Report.pageSize;
        form.setMargins(m.top, m.left, m.bottom, m.right);
    }
    // Title.
    form.setCaption(layout == Layout::HalfSheet ? QStringLiteral("QRLabel26") : QStringLiteral("QRLabel1"),
                    c.hospital + QStringLiteral("检验报告单"));
    // The graphs of the sample.
    if (layout != Layout::Text) {
        const char *boxes[4] = {"qimg1", "qimg4", "qimg5", "qimg6"};
        for (int i = 0; i < 4; ++i)
            form.setImage(QLatin1String(boxes[i]), c.images[i]);
    }
    // Result rows.
    RowLabels out;
    out.columns = rowColumns(layout);
    const int n = int(c.rows.size());
    out.labels.assign(out.columns.size(), std::vector<QString>(n));
    const QString sex = c.patient.value(QStringLiteral("sex")).toString();
    auto bottom = [&](const char *name) {
        const QRect r = form.px(QLatin1String(name));
        return r.top() + r.height();
    };
    auto left = [&](const char *name) { return form.px(QLatin1String(name)).left(); };
    // The footer line's pen, drawn through the middle of its box, is the floor of the rows.
    const report::ReportItem &footer = form.item(QStringLiteral("QRShape4"));
    const double floorPx = report::mmToPx(footer.mm.center().y()) - footer.penWidth / 2.0;
    const int firstTop = layout == Layout::Text ? bottom("QRLabel14") : bottom("QRShape3");
    const RowFit fit = fitRows(layout, rowPitch(layout, n), layout == Layout::Text ? std::max(std::min(n, 13), n - 13) : n,
                               floorPx - firstTop);
    const int pitch = fit.pitch;

    Placer p{form, layout, out, fit.fontScale};
    for (int i = 0; i < n; ++i) {
        p.row = i;
        const ResultRow &r = c.rows[i];
        const auto limits = limitsFor(sex, r);
        const QString range = limits ? rangeText(limits->low, limits->high) : QString();
        const QString abbr = r.abbreviation.isNull() ? QString() : r.abbreviation.toString();
        if (layout == Layout::Text) {
            const bool right = i >= 13;
            const int top = firstTop + (right ? i - 13 : i) * pitch;
            // The name's column ends where the value's begins (its header);
            // the value stands indented in its own column, so a blank always
            // stands between them.
            const int valueColumn = left(right ? "QRLabel9" : "QRLabel15");
            const int valueLeft = valueColumn + 8;
            const int rangeLeft = left(right ? "QRLabel10" : "QRLabel19");
            const int unitLeft = left(right ? "QRLabel17" : "QRLabel16") + 4;
            // The left half ends at the dividing line, the right half at the rules' end.
            const int halfEnd = right ? form.px(QStringLiteral("QRShape2")).right() : left("QRShape3");
            p.addNameAndAbbr(0, 1, r.name, abbr, right ? left("QRShape3") + 3 : 1, top, 0, valueColumn);
            p.add(2, r.value, valueLeft, top, 57, rangeLeft);
            p.add(3, r.unit, unitLeft, top, 57, halfEnd);
            p.add(4, range, rangeLeft, top, 68, unitLeft);
        } else {
            const int top = firstTop + i * pitch;
            const QRect head = form.px(QStringLiteral("QRLabel25"));
            const int nameLeft = head.left() + head.width() + 1;
            const int valueColumn = left("QRLabel15");
            const int valueLeft = valueColumn + 8, unitLeft = left("QRLabel16") + 4;
            const int rangeLeft = left("QRLabel19"), flagLeft = left("QRLabel17") + 8;
            p.add(0, QString::number(i + 1), head.left() + 3, top, 32, nameLeft);
            p.addNameAndAbbr(1, 2, r.name, abbr, nameLeft, top, 2, valueColumn);
            p.add(3, r.value, valueLeft, top, 57, unitLeft);
            p.add(4, r.unit, unitLeft, top, 57, rangeLeft);
            p.add(5, range, rangeLeft, top, 68, flagLeft);
            p.add(6, limits ? flagFor(r.value, limits->low, limits->high) : QString(), flagLeft, top, 15,
                  form.px(QStringLiteral("qimg1")).left());
        }
    }
    return out;
}

ReportForm &formFor(ReportForms &forms, Layout layout)
{
    switch (layout) {
    case Layout::HalfSheet: return forms.frmtestreport;
    case Layout::Large: return forms.frmtestreport1;
    case Layout::Text: return forms.frmtestreport2;
    }
    return forms.frmtestreport;
}

void printReport(ReportForm &form, Layout layout, const PrintSettings &s, const ReportContent &content,
                 const ReportForms &forms)
{
    RowLabels labels = buildReport(form, layout, s, content, forms);
    const auto freeLabels = qScopeGuard([&] { labels.free(form); });
    report::print(form, report::recordFromMap(content.patient));
}

namespace {

// The report on settings already checked: it prints or throws.
void printChecked(ReportForms &forms, const PrintSettings &s, const ReportContent &content)
{
    const Layout layout = layoutFor(s);
    ReportForm &form = formFor(forms, layout);
    form.recreate();
    printReport(form, layout, s, content, forms);
}

} // namespace

QString resultprint(ReportForms &forms, const PrintSettings &s, const ReportContent &content)
{
    const QString refusal = settingsRefusal(s);
    if (!refusal.isEmpty())
        return refusal;
    printChecked(forms, s, content);
    return {};
}

QString resultRowsSql()
{
    return QStringLiteral(
        "select b.name, b.abbreviation, a.value, b.unit, b.manhigh, b.manlow, b.womanhigh, b.womanlow "
        "from testresult a, itemtb b where a.itemid = b.itemid and a.shelfid = ? and a.checkdate is ? "
        "order by b.printorder");
}

QString patientRowSql()
{
    return QStringLiteral("select * from patient where shelfid = ? and checkdate is ?");
}

QString graphRowSql()
{
    return QStringLiteral("select * from gresult where shelfid = ? and checkdate is ?");
}

QString firstPrintStampSql()
{
    return QStringLiteral("update patient set bgtime = ?, printflag = 1 "
                          "where shelfid = ? and checkdate is ? and bgtime is null");
}

SamplePrint printSample(const QString &shelfid, const QVariant &checkdate, const PrintSettings &s, ReportContent content,
                        ReportForms &forms, db::Dataset &patient, db::Dataset &rows, db::Dataset &graph,
                        const std::function<void()> &onRows)
{
    SamplePrint out;
    auto fail = [&](const QString &message) {
        out.outcome = SamplePrint::Failed;
        out.message = message;
        out.stamped = false;
        return out;
    };
    const QVariantList key{shelfid, checkdate};
    patient.close();
    if (!patient.open(patientRowSql(), key))
        return fail(patient.lastError());
    rows.close();
    if (!rows.open(resultRowsSql(), key))
        return fail(rows.lastError());
    if (patient.isEmpty() || rows.isEmpty())
        return out;
    if (onRows)
        onRows();

    // Everything that can refuse the print is settled before the stamp.
    out.message = settingsRefusal(s);
    if (!out.message.isEmpty()) {
        out.outcome = SamplePrint::Refused;
        return out;
    }
    if (s.graphic()) {
        try {
            parseMargins(s);
        } catch (const report::ReportError &e) {
            out.badMargin = true;
            return fail(e.message());
        }
    }

    QString err;
    db::Transaction tx;
    if (!tx.begin(&err))
        return fail(err);
    if (patient.isNull(QStringLiteral("bgtime"))) {
        int changed = 0;
        if (!db::exec(firstPrintStampSql(), {hhmm(session::now().time()), shelfid, checkdate}, &err, &changed))
            return fail(err);
        out.stamped = changed > 0;
        // The report shows the time it now carries.
        if (!patient.requery())
            return fail(patient.lastError());
    }
    graph.close();
    if (!graph.open(graphRowSql(), key))
        return fail(graph.lastError());

    content.patient = recordOf(patient);
    content.rows = resultRowsFrom(rows);
    try {
        printChecked(forms, s, content);
    } catch (const report::ReportError &e) {
        return fail(e.message());
    }
    if (!tx.commit(&err))
        return fail(QStringLiteral("报告已打印，但打印标记未能保存：") + err);
    out.outcome = SamplePrint::Printed;
    return out;
}

} // namespace reports
