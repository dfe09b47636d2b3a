#include "reports/batch.h"

#include "base/dates.h"
#include "base/session.h"
#include "platform/db/command.h"
#include "platform/db/dataset.h"
#include "platform/report/printing.h"

#include <algorithm>

using report::FontSpec;
using report::ReportForm;
using report::ReportItem;

namespace reports {

const char *const NothingSelectedMessage = "没有符合打印条件的结果!";

QString printFilterClause(int printfilter)
{
    switch (printfilter) {
    case 1: return QStringLiteral(" and printflag=0");
    case 2: return QStringLiteral(" and printflag<>0");
    default: return QString();
    }
}

QString batchSelectionSql(int printfilter)
{
    return QStringLiteral("select * from patient where val(shelfid)>=val(?) and val(shelfid)<=val(?)")
           + printFilterClause(printfilter) + QStringLiteral(" order by val(shelfid), shelfid, checkdate");
}

BatchLayout batchLayoutFor(const PrintSettings &s)
{
    if (s.kind == KindText)
        return BatchLayout::TextPages;
    if (s.kind == KindGraphic && s.paperIndex == PaperHalfA4)
        return BatchLayout::GraphicPages;
    return BatchLayout::OnePerSample;
}

QString slotName(int slot, const QString &templateName)
{
    return QStringLiteral("s%1_%2").arg(slot).arg(templateName);
}

QStringList slotcontrols(const ReportForm &page, int slot)
{
    const QString prefix = slotName(slot, QString());
    QStringList out;
    for (const ReportItem &it : page.items())
        if (it.name.startsWith(prefix))
            out.append(it.name);
    return out;
}

namespace {

enum class Clone { Caption, Shape, TextTitle, GraphicTitle };

ReportItem &cloneItem(ReportForm &page, const ReportForm &tmpl, const char *name, int slot, int offset,
                      Clone how)
{
    ReportItem it = tmpl.item(QLatin1String(name));
    it.name = slotName(slot, it.name);
    it.mm.translate(0, offset);
    if (how == Clone::Caption || how == Clone::TextTitle) {
        // A clone takes font, place and caption, not width or alignment.
        it.align = report::Align::Left;
        it.autoSize = true;
        it.autoStretch = false;
        it.wordWrap = false;
    }
    ReportItem &added = page.add(std::move(it));
    if (added.kind == report::ItemKind::Label)
        page.setCaption(added, added.text);
    return added;
}

QString columnText(const QVariantMap &patient, const QString &column)
{
    return report::fieldText(report::recordFromMap(patient)(column));
}

// A plain label in place of the template's data text.
void cloneField(ReportForm &page, const ReportForm &tmpl, const char *name, int slot, int offset,
                const QString &caption)
{
    ReportItem it = tmpl.item(QLatin1String(name));
    it.kind = report::ItemKind::Label;
    it.field.clear();
    it.name = slotName(slot, it.name);
    it.mm.translate(0, offset);
    it.align = report::Align::Left;
    it.autoSize = true;
    it.autoStretch = false;
    it.wordWrap = false;
    page.setCaption(page.add(std::move(it)), caption);
}

void cloneCaptions(ReportForm &page, const ReportForm &tmpl, std::initializer_list<const char *> names,
                   int slot, int offset)
{
    for (const char *n : names)
        cloneItem(page, tmpl, n, slot, offset, Clone::Caption);
}

void cloneFields(ReportForm &page, const ReportForm &tmpl, const QVariantMap &patient,
                 std::initializer_list<std::pair<const char *, const char *>> fields, int slot, int offset)
{
    for (const auto &[item, column] : fields)
        cloneField(page, tmpl, item, slot, offset, columnText(patient, QLatin1String(column)));
}

// Footer fields shared by both pages: each time after its date.
void cloneFooterFields(ReportForm &page, const ReportForm &tmpl, const QVariantMap &patient, int slot,
                       int offset)
{
    auto joined = [&](const char *a, const char *b) {
        return columnText(patient, QLatin1String(a)) + QLatin1Char(' ') + columnText(patient, QLatin1String(b));
    };
    cloneField(page, tmpl, "QRDBText13", slot, offset, joined("takedate", "taketime"));
    cloneField(page, tmpl, "QRDBText14", slot, offset, joined("checkdate", "bgtime"));
    cloneField(page, tmpl, "QRDBText15", slot, offset, columnText(patient, QStringLiteral("operator")));
}

int bottomPx(const ReportForm &form, const QString &name)
{
    const QRect r = form.px(name);
    return r.top() + r.height();
}

int leftPx(const ReportForm &form, const char *name)
{
    return form.px(QLatin1String(name)).left();
}

QString abbreviationOf(const ResultRow &r)
{
    const QString a = r.abbreviation.isNull() ? QString() : r.abbreviation.toString();
    return a.trimmed().isEmpty() ? QString() : QLatin1Char('[') + a + QLatin1Char(']');
}

struct RowMaker
{
    ReportForm &page;
    int slot;
    int row;   // 1-based
    int pitch;   // layout pixels

    // A face whose line is taller than the pitch prints in smaller type;
    // the others keep their size.
    FontSpec fitted(const FontSpec &font) const { return scaledFont(font, rowTypeScale(pitch, {font})); }

    QString name(const char *column) const
    {
        return slotName(slot, QStringLiteral("row_%1_%2").arg(QLatin1String(column)).arg(row));
    }
    // A row label; a caption that would reach edgePx (the next column's
    // left) prints smaller or is cut before it.
    void add(const char *column, const QString &caption, const FontSpec &font, int left, int top, int width,
             int edgePx)
    {
        addRowLabel(page, name(column), caption, fitted(font), QRect(left, top, width, 16), edgePx);
    }
    void addNameAndAbbr(const ResultRow &r, const FontSpec &font, int left, int top, int gapPx, int edgePx)
    {
        addNameAndAbbreviation(page, name("name"), name("abbreviation"), r.name.trimmed(), abbreviationOf(r),
                               fitted(font), left, top, gapPx, edgePx);
    }
};

FontSpec rowFont(const char *family, double pt)
{
    FontSpec f;
    f.family = QString::fromUtf8(family);
    f.pointSize = pt;
    return f;
}

} // namespace

// ---- text page -----------------------------------------------------------------

void createreporthead(ReportForm &page, const ReportForm &tmpl, const QVariantMap &patient, int slot, int offset)
{
    cloneItem(page, tmpl, "QRLabel1", slot, offset, Clone::TextTitle);
    cloneItem(page, tmpl, "QRShape2", slot, offset, Clone::Shape);
    cloneItem(page, tmpl, "QRShape3", slot, offset, Clone::Shape);
    cloneCaptions(page, tmpl, {"QRLabel2", "QRLabel4", "QRLabel3", "QRLabel13", "QRLabel5", "QRLabel11",
                               "QRLabel12", "QRLabel6", "QRLabel14", "QRLabel15", "QRLabel19", "QRLabel16",
                               "QRLabel8", "QRLabel9", "QRLabel10", "QRLabel17"},
                  slot, offset);
    cloneFields(page, tmpl, patient,
                {{"QRDBText1", "name"}, {"QRDBText3", "sex"}, {"QRDBText2", "age"}, {"QRDBText4", "shelfid"},
                 {"QRDBText5", "depart"}, {"QRDBText6", "caseno"}, {"QRDBText7", "bedno"},
                 {"QRDBText10", "kind"}},
                slot, offset);
}

void createreportfooter(ReportForm &page, const ReportForm &tmpl, const QVariantMap &patient, int slot, int offset)
{
    cloneItem(page, tmpl, "QRShape4", slot, offset, Clone::Shape);
    cloneCaptions(page, tmpl, {"QRLabel22", "QRLabel21", "QRLabel7", "QRLabel18", "QRLabel23"}, slot, offset);
    cloneFooterFields(page, tmpl, patient, slot, offset);
}

int textSlotLeftRows(int n)
{
    return n <= 26 ? 13 : (n + 1) / 2;
}

int textSlotPitch(const ReportForm &tmpl, int n)
{
    if (n <= 26)
        return 16;
    // Both columns end above the footer rule.
    const int space = tmpl.px(QStringLiteral("QRShape4")).top() - bottomPx(tmpl, QStringLiteral("QRLabel14"));
    const int rows = textSlotLeftRows(n);
    return std::clamp((space - 18) / (rows - 1), 1, 16);
}

int graphicSlotPitch(const ReportForm &tmpl, int n)
{
    if (n <= 26)
        return 13;
    const int space = tmpl.px(QStringLiteral("QRShape4")).top() - bottomPx(tmpl, QStringLiteral("QRShape3"));
    return std::clamp((space - 18) / (n - 1), 1, 13);
}

void createreportbody(ReportForm &page, const ReportForm &tmpl, const QVariantMap &patient,
                      const std::vector<ResultRow> &rows, int slot)
{
    const int n = int(rows.size());
    const int pitch = textSlotPitch(tmpl, n);
    const int leftRows = textSlotLeftRows(n);
    const int anchor = bottomPx(page, slotName(slot, QStringLiteral("QRLabel14")));
    const QString sex = patient.value(QStringLiteral("sex")).toString();
    const FontSpec font = rowFont("宋体", 10), narrow = rowFont("仿宋", 10);
    // The left column ends at the dividing rule, the right one at the end of the rules.
    const int ruleLeft = leftPx(tmpl, "QRShape3");
    const int rulesEnd = tmpl.px(QStringLiteral("QRShape2")).right();
    for (int i = 0; i < n; ++i) {
        const ResultRow &r = rows[i];
        const bool right = i >= leftRows;
        const int k = right ? i - leftRows : i;
        const int top = anchor + k * pitch;
        RowMaker m{page, slot, i + 1, pitch};
        // The name's column ends at the value's header, the value is indented in its own.
        const int valueColumn = leftPx(tmpl, right ? "QRLabel9" : "QRLabel15");
        const int valueLeft = valueColumn + 8;
        const int unitLeft = leftPx(tmpl, right ? "QRLabel17" : "QRLabel16") + 4;
        const int rangeLeft = leftPx(tmpl, right ? "QRLabel10" : "QRLabel19");
        m.addNameAndAbbr(r, font, right ? ruleLeft + 3 : 1, top + 2, 0, valueColumn);
        m.add("value", r.value, font, valueLeft, top, 57, rangeLeft);
        m.add("unit", r.unit, font, unitLeft, top, 57, right ? rulesEnd : ruleLeft);
        const auto limits = limitsFor(sex, r);
        m.add("range", limits ? rangeText(limits->low, limits->high) : QString(), narrow, rangeLeft, top, 68,
              unitLeft);
    }
}

// ---- graphic page ---------------------------------------------------------------

void createA5reporthead(ReportForm &page, const ReportForm &tmpl, const QVariantMap &patient, int slot, int offset)
{
    cloneItem(page, tmpl, "QRLabel26", slot, offset, Clone::GraphicTitle);
    cloneItem(page, tmpl, "QRShape2", slot, offset, Clone::Shape);
    cloneItem(page, tmpl, "QRShape3", slot, offset, Clone::Shape);
    cloneCaptions(page, tmpl, {"QRLabel2", "QRLabel4", "QRLabel3", "QRLabel13", "QRLabel5", "QRLabel11",
                               "QRLabel12", "QRLabel6", "QRLabel9", "QRLabel10", "QRLabel14", "QRLabel15",
                               "QRLabel19", "QRLabel16", "QRLabel18", "QRLabel25", "QRLabel17"},
                  slot, offset);
    cloneFields(page, tmpl, patient,
                {{"QRDBText1", "name"}, {"QRDBText3", "sex"}, {"QRDBText2", "age"}, {"QRDBText4", "shelfid"},
                 {"QRDBText5", "depart"}, {"QRDBText6", "caseno"}, {"QRDBText7", "bedno"},
                 {"QRDBText10", "kind"}, {"QRDBText8", "diagnose"}, {"QRDBText12", "doctor"}},
                slot, offset);
}

void createA5reportfooter(ReportForm &page, const ReportForm &tmpl, const QVariantMap &patient, int slot,
                          int offset)
{
    cloneItem(page, tmpl, "QRShape4", slot, offset, Clone::Shape);
    cloneCaptions(page, tmpl, {"QRLabel23", "QRLabel22", "QRLabel21", "QRLabel7", "QRLabel20"}, slot, offset);
    cloneFooterFields(page, tmpl, patient, slot, offset);
}

void createA5reportbody(ReportForm &page, const ReportForm &tmpl, const QVariantMap &patient,
                        const std::vector<ResultRow> &rows, const std::array<QImage, 4> &images, int slot)
{
    const int offset = (slot - 1) * GraphicSlotMm;
    const char *boxes[4] = {"qimg1", "qimg4", "qimg5", "qimg6"};
    for (int i = 0; i < 4; ++i) {
        ReportItem &img = cloneItem(page, tmpl, boxes[i], slot, offset, Clone::Shape);
        img.image = images[i].copy();
    }

    const int n = int(rows.size());
    const int pitch = graphicSlotPitch(tmpl, n);
    const int anchor = bottomPx(page, slotName(slot, QStringLiteral("QRShape3")));
    const QRect head = tmpl.px(QStringLiteral("QRLabel25"));
    const QString sex = patient.value(QStringLiteral("sex")).toString();
    const FontSpec font = rowFont("宋体", 9), narrow = rowFont("仿宋", 9);
    const int nameLeft = head.left() + head.width() + 1;
    const int valueColumn = leftPx(tmpl, "QRLabel15");
    const int valueLeft = valueColumn + 4, unitLeft = leftPx(tmpl, "QRLabel16") + 4;
    const int rangeLeft = leftPx(tmpl, "QRLabel19"), flagLeft = leftPx(tmpl, "QRLabel17") + 5;
    const int picturesLeft = leftPx(tmpl, "qimg1");
    for (int i = 0; i < n; ++i) {
        const ResultRow &r = rows[i];
        const int top = anchor + 2 + i * pitch;
        RowMaker m{page, slot, i + 1, pitch};
        m.add("number", QString::number(i + 1), font, head.left() + 3, top, 32, nameLeft);
        m.addNameAndAbbr(r, font, nameLeft, top, 2, valueColumn);
        m.add("value", r.value, font, valueLeft, top, 57, unitLeft);
        m.add("unit", r.unit, font, unitLeft, top, 57, rangeLeft);
        const auto limits = limitsFor(sex, r);
        m.add("range", limits ? rangeText(limits->low, limits->high) : QString(), narrow, rangeLeft, top, 68,
              flagLeft);
        m.add("flag", limits ? flagFor(r.value, limits->low, limits->high) : QString(), narrow, flagLeft, top, 68,
              picturesLeft);
    }
}

// ---- the run ------------------------------------------------------------------------

namespace {

bool patientRow(const QVariantList &key, QVariantMap *out, QString *error)
{
    QVector<QVariantList> rows;
    QStringList columns;
    if (!db::select(patientRowSql(), key, &rows, error, &columns))
        return false;
    out->clear();
    if (!rows.isEmpty())
        for (int c = 0; c < columns.size(); ++c)
            out->insert(columns[c], rows.first().value(c));
    return true;
}

struct Failure
{
    QString message;
};

} // namespace

BatchResult runBatch(const QString &lo, const QString &hi, int printfilter, const PrintSettings &s,
                     const QString &hospital, ReportForms &forms, db::Dataset &patients, db::Dataset &rows,
                     db::Dataset &graph, const BatchHooks &hooks)
{
    BatchResult out;
    auto fail = [&out](const QString &message) {
        out.outcome = BatchResult::Failed;
        out.message = message;
        return out;
    };
    // Refused before anything is read or stamped.
    out.message = printerRefusal(s);
    if (!out.message.isEmpty()) {
        out.outcome = BatchResult::Refused;
        return out;
    }
    patients.close();
    if (!patients.open(batchSelectionSql(printfilter), {lo.trimmed(), hi.trimmed()}))
        return fail(patients.lastError());
    if (patients.isEmpty()) {
        out.outcome = BatchResult::NothingSelected;
        out.message = QString::fromUtf8(NothingSelectedMessage);
        return out;
    }
    const int count = patients.recordCount();
    if (hooks.selected)
        hooks.selected(count);
    auto progress = [&](int recNo) {
        if (hooks.progress)
            hooks.progress(recNo);
    };
    // Each selected row is its own sample: its number and its day.
    auto keyAt = [&](int i) {
        return QVariantList{patients.valueAt(i, QStringLiteral("shelfid")).toString(),
                            patients.valueAt(i, QStringLiteral("checkdate"))};
    };
    auto openRows = [&](const QVariantList &key) {
        rows.close();
        if (!rows.open(resultRowsSql(), key))
            throw Failure{rows.lastError()};
    };
    auto openGraph = [&](const QVariantList &key) {
        graph.close();
        if (!graph.open(graphRowSql(), key))
            throw Failure{graph.lastError()};
    };
    auto images = [&]() {
        return hooks.graphs ? hooks.graphs(patients, graph) : std::array<QImage, 4>{};
    };

    const BatchLayout layout = batchLayoutFor(s);
    try {
        if (layout == BatchLayout::OnePerSample) {
            // printSample settles the settings and margins before it stamps;
            // the first refusal or error ends the run, so it is shown once
            // and only when some sample had results.
            db::Dataset scratch;
            for (int i = 0; i < count; ++i) {
                patients.setRecNo(i + 1);
                const QVariantList key = keyAt(i);
                openRows(key);
                if (!rows.isEmpty()) {
                    openGraph(key);
                    ReportContent content;
                    content.hospital = hospital;
                    content.images = images();
                    db::Dataset scratchRows, scratchGraph;
                    const SamplePrint r = printSample(key[0].toString(), key[1], s, content, forms, scratch,
                                                      scratchRows, scratchGraph);
                    if (r.outcome == SamplePrint::Failed)
                        return fail(r.message);
                    if (r.outcome == SamplePrint::Refused) {
                        out.outcome = BatchResult::Refused;
                        out.message = r.message;
                        return out;
                    }
                    if (r.outcome == SamplePrint::Printed) {
                        ++out.jobs;
                        out.stamped += r.stamped ? 1 : 0;
                    }
                }
                progress(i + 1);
            }
            return out;
        }

        const bool text = layout == BatchLayout::TextPages;
        const QString title = hospital + QStringLiteral("检验报告单");
        ReportForm &page = text ? forms.frmtestreport3 : forms.frmtestreport4;
        if (text) {
            forms.frmtestreport2.printerIndex = s.printerIndex;
            forms.frmtestreport2.setCaption(QStringLiteral("QRLabel1"), title);
        }
        const int slotCount = text ? TextSlots : GraphicSlots;
        int i = 0;
        while (i < count) {
            page.recreate();
            page.printerIndex = s.printerIndex;
            if (!text) {
                const Margins m = parseMargins(s);
                page.setMargins(m.top, m.left, m.bottom, m.right);
                forms.frmtestreport.setCaption(QStringLiteral("QRLabel26"), title);
            }
            // The page's first prints are kept only when the page printed.
            QString err;
            db::Transaction tx;
            if (!tx.begin(&err))
                return fail(err);
            int slot = 1, stamped = 0;
            while (i < count && slot <= slotCount) {
                patients.setRecNo(i + 1);
                const QVariantList key = keyAt(i);
                openRows(key);
                if (!text)
                    openGraph(key);
                if (!rows.isEmpty()) {
                    int changed = 0;
                    if (!db::exec(firstPrintStampSql(), QVariantList{hhmm(session::now().time())} + key, &err,
                                  &changed))
                        return fail(err);
                    stamped += changed > 0 ? 1 : 0;
                    QVariantMap patient;
                    if (!patientRow(key, &patient, &err))
                        return fail(err);
                    const std::vector<ResultRow> results = resultRowsFrom(rows);
                    const int offset = slotOffset(layout, slot);
                    if (text) {
                        createreporthead(page, forms.frmtestreport2, patient, slot, offset);
                        createreportbody(page, forms.frmtestreport2, patient, results, slot);
                        createreportfooter(page, forms.frmtestreport2, patient, slot, offset);
                    } else {
                        createA5reporthead(page, forms.frmtestreport, patient, slot, offset);
                        createA5reportbody(page, forms.frmtestreport, patient, results, images(), slot);
                        createA5reportfooter(page, forms.frmtestreport, patient, slot, offset);
                    }
                    ++slot;
                }
                progress(i + 1);
                ++i;
            }
            if (slot == 1)
                continue;   // nobody on this page had results: no sheet
            report::print(page, report::emptyRecord());
            ++out.jobs;
            if (!tx.commit(&err))
                return fail(QStringLiteral("报告已打印，但打印标记未能保存：") + err);
            out.stamped += stamped;
        }
    } catch (const report::ReportError &e) {
        return fail(e.message());
    } catch (const Failure &f) {
        return fail(f.message);
    }
    return out;
}

} // namespace reports
