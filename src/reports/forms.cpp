#include "reports/forms.h"

#include <QFont>
#include <algorithm>

using report::Align;
using report::FontSpec;
using report::ReportForm;
using report::ReportItem;

namespace reports {

namespace {

const QString Song = QStringLiteral("宋体");
const QString Hei = QStringLiteral("黑体");
const QString Title = QStringLiteral("检验报告单");
const QString Instrument = QStringLiteral("QEL VORLEN 60 五分类血细胞计数仪");

FontSpec font(const QString &family, double pt, bool bold = false)
{
    FontSpec f;
    f.family = family;
    f.pointSize = pt;
    f.bold = bold;
    return f;
}

struct Builder
{
    ReportForm form;

    Builder(const QString &cls, const QString &inst, const QString &unit)
    {
        form.className = cls;
        form.instanceName = inst;
        form.unitName = unit;
        form.title = inst;
    }
    void label(const QString &name, const QString &caption, const FontSpec &f,
               double l, double t, double w, double h, Align a = Align::Left)
    {
        form.add(report::makeLabel(name, caption, f, l, t, w, h, a), false);
    }
    void data(const QString &name, const QString &field, const FontSpec &f,
              double l, double t, double w, double h)
    {
        ReportItem it = report::makeDataText(name, field, f, l, t, w, h);
        // The two times keep their box; every other field sizes to its text.
        if (field == QLatin1String("taketime") || field == QLatin1String("bgtime"))
            it.autoSize = false;
        form.add(it, false);
    }
    void hline(const QString &name, double l, double t, double w, double h, double pen)
    {
        form.add(report::makeHLine(name, l, t, w, h, pen), false);
    }
    void vline(const QString &name, double l, double t, double w, double h, double pen)
    {
        form.add(report::makeVLine(name, l, t, w, h, pen), false);
    }
    void image(const QString &name, double l, double t, double w, double h)
    {
        form.add(report::makeImage(name, l, t, w, h), false);
    }
    void page(double top, double left, double bottom, double right, double bandW, double bandH)
    {
        form.setMargins(top, left, bottom, right);
        form.bandMm = QSizeF(bandW, bandH);
    }
    // The finished design: every data text is cut before whatever stands
    // to its right on its line, so a long value (a 10-digit case number)
    // never prints over the caption beside it.
    ReportForm done()
    {
        QStringList dataTexts;
        for (const ReportItem &o : form.items())
            if (o.kind == report::ItemKind::DataText)
                dataTexts << o.name;
        for (const QString &name : dataTexts)
            form.item(name).cutAtNeighbour = true;
        return form;
    }
};

// The captions and data texts of the graphic half-sheet design; the preview
// form frmnomreport takes them with its own tops and fonts.
struct HalfSheetRows
{
    double row1 = 14.8, data1 = 14.6;   // name / sex / age / sample number
    double row2 = 19.6, data2 = 19.6;   // department / case / bed / doctor
    // The third row and the table header sit 0.1 and 0.15 mm above their
    // stored places: the printing faces' lines (ascent and descent) would
    // otherwise reach into the rules' pens below them.
    double row3 = 24.3, data3 = 24.2;   // kind / diagnosis
    double line2 = 28.0, head = 28.95, line3 = 32.3;
    double line4 = 122.8, foot = 125.4, footData = 125.1;
    FontSpec caption = font(Song, 10);
    FontSpec boldData = font(Hei, 10, true);
    FontSpec plainData = font(Hei, 10);
};

void halfSheetBody(Builder &b, const HalfSheetRows &r)
{
    const FontSpec s10 = font(Song, 10);
    b.data(QStringLiteral("QRDBText1"), QStringLiteral("name"), r.boldData, 23.3, r.data1, 8.7, 5.0);
    b.data(QStringLiteral("QRDBText3"), QStringLiteral("sex"), r.plainData, 66.7, r.data1, 5.8, 5.0);
    b.data(QStringLiteral("QRDBText2"), QStringLiteral("age"), r.plainData, 111.7, r.data1, 5.8, 5.0);
    b.data(QStringLiteral("QRDBText4"), QStringLiteral("shelfID"), r.boldData, 149.2, r.data1, 15.1, 5.0);
    b.label(QStringLiteral("QRLabel2"), QStringLiteral("姓    名："), r.caption, 4.2, r.row1, 18.0, 4.5);
    b.label(QStringLiteral("QRLabel4"), QStringLiteral("性    别："), r.caption, 48.7, r.row1, 18.0, 4.5);
    b.label(QStringLiteral("QRLabel3"), QStringLiteral("年    龄："), r.caption, 93.1, r.row1, 18.0, 4.2);
    b.label(QStringLiteral("QRLabel13"), QStringLiteral("样本编号："), r.caption, 131.2, r.row1, 17.5, 4.5);
    b.label(QStringLiteral("QRLabel5"), QStringLiteral("科    别："), r.caption, 4.2, r.row2, 18.0, 4.5);
    b.data(QStringLiteral("QRDBText5"), QStringLiteral("depart"), r.boldData, 23.3, r.data2, 13.0, 5.0);
    b.label(QStringLiteral("QRLabel11"), QStringLiteral("病 历 号"), r.caption, 48.7, r.row2, 14.3, 4.5);
    b.data(QStringLiteral("QRDBText6"), QStringLiteral("caseno"), r.plainData, 66.7, r.data2, 11.4, 5.0);
    b.label(QStringLiteral("QRLabel12"), QStringLiteral("病 床 号："), r.caption, 93.1, r.row2, 17.7, 4.5);
    b.data(QStringLiteral("QRDBText7"), QStringLiteral("bedno"), r.plainData, 111.7, r.data2, 9.5, 5.0);
    b.label(QStringLiteral("QRLabel9"), QStringLiteral("送检医师："), r.caption, 131.2, r.row2, 17.5, 4.5);
    b.data(QStringLiteral("QRDBText12"), QStringLiteral("doctor"), r.plainData, 149.2, r.data2, 11.4, 5.0);
    b.label(QStringLiteral("QRLabel6"), QStringLiteral("标本种类："), r.caption, 4.2, r.row3, 17.5, 4.5);
    b.data(QStringLiteral("QRDBText10"), QStringLiteral("kind"), r.plainData, 23.3, r.data3, 7.7, 5.0);
    b.label(QStringLiteral("QRLabel10"), QStringLiteral("临床诊断："), r.caption, 48.7, r.row3, 17.5, 4.5);
    b.data(QStringLiteral("QRDBText8"), QStringLiteral("diagnose"), r.plainData, 67.2, r.data3, 15.1, 5.0);
    b.hline(QStringLiteral("QRShape2"), 4.2, r.line2, 161.4, 1.3, 2);
    b.label(QStringLiteral("QRLabel25"), QStringLiteral("序号 "), s10, 4.2, r.head, 9.0, 3.7);
    b.label(QStringLiteral("QRLabel14"), QStringLiteral("项      目"), s10, 25.4, r.head, 18.3, 3.7);
    b.label(QStringLiteral("QRLabel15"), QStringLiteral("测定值"), s10, 65.6, r.head, 10.6, 3.7);
    b.label(QStringLiteral("QRLabel16"), QStringLiteral("单 位"), s10, 84.7, r.head, 9.0, 3.7);
    b.label(QStringLiteral("QRLabel19"), QStringLiteral("参考范围"), s10, 101.6, r.head, 14.0, 3.7);
    b.label(QStringLiteral("QRLabel17"), QStringLiteral("提示"), s10, 122.8, r.head, 7.1, 3.7);
    b.label(QStringLiteral("QRLabel18"), QStringLiteral("参考图"), s10, 141.8, r.head, 10.6, 3.7);
    b.hline(QStringLiteral("QRShape3"), 4.2, r.line3, 161.4, 1.3, 2);
    b.image(QStringLiteral("qimg1"), 135.5, 39.2, 29.1, 29.1);
    b.image(QStringLiteral("qimg4"), 135.5, 73.0, 29.1, 13.2);
    b.image(QStringLiteral("qimg5"), 135.5, 89.4, 29.1, 13.2);
    b.image(QStringLiteral("qimg6"), 135.5, 105.3, 29.1, 13.2);
    b.hline(QStringLiteral("QRShape4"), 4.2, r.line4, 161.4, 3.4, 2);
    b.data(QStringLiteral("QRDBText13"), QStringLiteral("takedate"), s10, 22.2, r.footData, 15.1, 4.8);
    b.data(QStringLiteral("QRDBText16"), QStringLiteral("taketime"), s10, 42.3, r.footData, 10.8, 4.8);
    b.data(QStringLiteral("QRDBText14"), QStringLiteral("checkdate"), s10, 68.8, r.footData, 16.9, 4.8);
    b.data(QStringLiteral("QRDBText17"), QStringLiteral("bgtime"), s10, 90.0, r.footData, 9.8, 4.8);
    b.data(QStringLiteral("QRDBText15"), QStringLiteral("operator"), s10, 117.5, r.footData, 15.1, 4.8);
    b.label(QStringLiteral("QRLabel21"), QStringLiteral("送检时间："), s10, 5.3, r.foot, 17.5, 4.2);
    b.label(QStringLiteral("QRLabel23"), QStringLiteral("报告时间："), s10, 54.0, r.foot, 17.5, 4.5);
    b.label(QStringLiteral("QRLabel22"), QStringLiteral("检 验 者："), s10, 100.5, r.foot, 17.7, 4.5);
    b.label(QStringLiteral("QRLabel20"), QStringLiteral("复 核 者："), s10, 134.4, r.foot, 17.7, 4.5);
}

// The A4/B5 graphic design; the two preview forms differ in a few fonts, the
// instrument line's height and the missing note.
void a4Body(Builder &b, bool preview)
{
    const FontSpec s10 = font(Song, 10);
    const FontSpec s11 = font(Song, 11);
    const FontSpec caption = preview ? font(Hei, 11) : s11;
    const FontSpec keyData = preview ? s11 : font(Hei, 11, true);

    b.label(QStringLiteral("QRLabel1"), Title, font(Hei, 20, true), 19.1, 3.7, 133.6, 7.4, Align::Center);
    b.hline(QStringLiteral("QRShape1"), 19.1, 11.6, 133.6, 3.4, 2);
    b.label(QStringLiteral("frmtestreport"), Instrument, font(Song, 14, true), 21.2, 14.3, 129.4,
            preview ? 7.1 : 5.3, Align::Center);
    b.data(QStringLiteral("QRDBText1"), QStringLiteral("name"), keyData, 23.3, 22.0, 9.8, 5.0);
    b.data(QStringLiteral("QRDBText3"), QStringLiteral("sex"), s11, 66.7, 22.0, 6.6, 5.0);
    b.data(QStringLiteral("QRDBText2"), QStringLiteral("age"), s11, 111.7, 22.0, 6.6, 5.0);
    b.data(QStringLiteral("QRDBText4"), QStringLiteral("shelfID"), keyData, 149.2, 22.0, 16.9, 5.0);
    b.label(QStringLiteral("QRLabel2"), QStringLiteral("姓    名："), caption, 4.2, 22.2, 20.6, 4.5);
    b.label(QStringLiteral("QRLabel4"), QStringLiteral("性    别："), caption, 48.7, 22.2, 20.6, 4.5);
    b.label(QStringLiteral("QRLabel3"), QStringLiteral("年    龄："), caption, 93.1, 22.2, 20.6, 4.2);
    b.label(QStringLiteral("QRLabel13"), QStringLiteral("样本编号："), caption, 131.2, 22.2, 20.1, 4.5);
    b.label(QStringLiteral("QRLabel5"), QStringLiteral("科    别："), caption, 4.2, 28.6, 20.6, 4.5);
    b.data(QStringLiteral("QRDBText5"), QStringLiteral("depart"), keyData, 23.3, 28.6, 14.6, 5.0);
    b.label(QStringLiteral("QRLabel11"), QStringLiteral("病 历 号："), caption, 48.7, 28.6, 20.4, 4.5);
    b.data(QStringLiteral("QRDBText6"), QStringLiteral("caseno"), s11, 66.7, 28.6, 13.0, 5.0);
    b.label(QStringLiteral("QRLabel12"), QStringLiteral("病 床 号："), caption, 93.1, 28.6, 20.4, 4.5);
    b.data(QStringLiteral("QRDBText7"), QStringLiteral("bedno"), s11, 111.7, 28.6, 10.8, 5.0);
    b.label(QStringLiteral("QRLabel9"), QStringLiteral("送检医师："), caption, 131.2, 28.6, 20.1, 4.5);
    b.data(QStringLiteral("QRDBText12"), QStringLiteral("doctor"), s11, 149.2, 28.6, 13.0, 5.0);
    b.label(QStringLiteral("QRLabel6"), QStringLiteral("标本种类："), caption, 4.2, 34.9, 20.1, 4.5);
    b.data(QStringLiteral("QRDBText10"), QStringLiteral("kind"), s11, 23.3, 34.9, 8.7, 5.0);
    b.label(QStringLiteral("QRLabel10"), QStringLiteral("临床诊断："), caption, 48.7, 34.9, 20.1, 4.5);
    b.data(QStringLiteral("QRDBText8"), QStringLiteral("diagnose"), s11, 67.2, 34.9, 17.2, 5.0);
    b.hline(QStringLiteral("QRShape2"), 4.2, 40.2, 161.4, 3.4, 2);
    b.label(QStringLiteral("QRLabel25"), QStringLiteral("序号 "), s11, 4.2, 43.4, 10.3, 4.5);
    b.label(QStringLiteral("QRLabel14"), QStringLiteral("项      目"), s11, 25.4, 43.4, 20.9, 4.5);
    b.label(QStringLiteral("QRLabel15"), QStringLiteral("测定值"), s11, 65.6, 43.4, 12.2, 4.2);
    b.label(QStringLiteral("QRLabel16"), QStringLiteral("单 位"), s11, 82.5, 43.4, 10.3, 4.5);
    b.label(QStringLiteral("QRLabel19"), QStringLiteral("参考范围"), s11, 97.4, 43.4, 16.1, 4.5);
    b.label(QStringLiteral("QRLabel17"), QStringLiteral("提示"), s11, 118.5, 43.4, 8.2, 4.2);
    b.label(QStringLiteral("QRLabel18"), QStringLiteral("参考图"), s11, 139.7, 43.4, 12.2, 4.5);
    b.hline(QStringLiteral("QRShape3"), 4.2, 47.6, 161.4, 3.4, 2);
    b.image(QStringLiteral("qimg1"), 127.0, 59.8, 37.0, 37.0);
    b.image(QStringLiteral("qimg4"), 127.0, 115.4, 37.0, 18.3);
    b.image(QStringLiteral("qimg5"), 127.0, 152.9, 37.0, 18.3);
    b.image(QStringLiteral("qimg6"), 127.0, 187.9, 37.0, 18.3);
    b.hline(QStringLiteral("QRShape4"), 4.2, 220.1, 161.4, 3.4, 2);
    b.data(QStringLiteral("QRDBText13"), QStringLiteral("takedate"), s10, 20.1, 222.5, 15.1, 5.0);
    b.data(QStringLiteral("QRDBText16"), QStringLiteral("taketime"), s10, 42.3, 222.5, 13.0, 5.0);
    b.data(QStringLiteral("QRDBText14"), QStringLiteral("checkdate"), s10, 68.8, 222.5, 16.9, 5.0);
    b.data(QStringLiteral("QRDBText17"), QStringLiteral("bgtime"), s10, 90.0, 222.5, 11.9, 5.0);
    b.data(QStringLiteral("QRDBText15"), QStringLiteral("operator"), s10, 119.6, 222.5, 15.1, 5.0);
    b.label(QStringLiteral("QRLabel21"), QStringLiteral("送检时间："), s10, 5.3, 222.8, 17.5, 4.2);
    b.label(QStringLiteral("QRLabel23"), QStringLiteral("报告时间："), s10, 54.0, 222.8, 17.5, 4.5);
    b.label(QStringLiteral("QRLabel22"), QStringLiteral("检 验 者："), s10, 102.7, 222.8, 17.7, 4.5);
    b.label(QStringLiteral("QRLabel7"), QStringLiteral("复 核 者："), s10, 134.4, 222.8, 17.7, 4.5);
    if (!preview)
        b.label(QStringLiteral("QRLabel8"), QStringLiteral("注：本结果仅对本次标本负责"), font(Song, 9),
                5.3, 230.2, 41.5, 4.5);
}

} // namespace

ReportForm frmtestreportDesign()
{
    Builder b(QStringLiteral("Tfrmtestreport"), QStringLiteral("frmtestreport"), QStringLiteral("testreport"));
    b.page(5, 20, 10, 20, 170.1, 265.6);
    b.label(QStringLiteral("QRLabel26"), Title, font(Hei, 20, true), 4.2, 1.6, 161.1, 7.4, Align::Center);
    halfSheetBody(b, HalfSheetRows());
    b.label(QStringLiteral("QRLabel7"), QStringLiteral("注：本结果仅对本次标本负责"), font(Song, 9),
            5.3, 130.7, 41.5, 4.5);
    return b.done();
}

ReportForm frmtestreport1Design()
{
    Builder b(QStringLiteral("Tfrmtestreport1"), QStringLiteral("frmtestreport1"), QStringLiteral("testreport1"));
    b.page(20, 20, 10, 2, 188.1, 265.6);
    a4Body(b, false);
    return b.done();
}

ReportForm frmtestreport2Design()
{
    Builder b(QStringLiteral("Tfrmtestreport2"), QStringLiteral("frmtestreport2"), QStringLiteral("testreport2"));
    b.page(5, 10, 5, 5, 195.0, 90.0);
    const FontSpec s10b = font(Song, 10, true);
    const FontSpec s10 = font(Song, 10);
    const FontSpec s11 = font(Song, 11);
    const FontSpec s11b = font(Song, 11, true);
    const FontSpec h11 = font(Hei, 11);
    b.label(QStringLiteral("QRLabel1"), Title, font(Song, 16, true), 50.3, 2.1, 90.8, 5.8, Align::Center);
    b.data(QStringLiteral("QRDBText4"), QStringLiteral("shelfID"), s11b, 15.9, 2.9, 16.9, 5.0);
    b.label(QStringLiteral("QRLabel13"), QStringLiteral("标本号："), h11, 0.0, 3.2, 16.1, 4.5);
    b.data(QStringLiteral("QRDBText1"), QStringLiteral("name"), s11b, 12.7, 11.4, 9.8, 5.0);
    b.data(QStringLiteral("QRDBText2"), QStringLiteral("age"), s11, 41.8, 11.4, 6.6, 5.0);
    b.data(QStringLiteral("QRDBText3"), QStringLiteral("sex"), s11, 60.3, 11.4, 6.6, 5.0);
    b.label(QStringLiteral("QRLabel2"), QStringLiteral("姓 名："), h11, 0.0, 11.6, 14.3, 4.5);
    b.label(QStringLiteral("QRLabel3"), QStringLiteral("年龄："), h11, 31.8, 11.6, 12.2, 4.2);
    b.label(QStringLiteral("QRLabel4"), QStringLiteral("性别："), h11, 50.8, 11.6, 12.2, 4.5);
    b.label(QStringLiteral("QRLabel5"), QStringLiteral("科室："), h11, 72.0, 11.6, 12.2, 4.5);
    b.data(QStringLiteral("QRDBText5"), QStringLiteral("depart"), s11b, 82.6, 11.6, 14.6, 5.0);
    b.label(QStringLiteral("QRLabel12"), QStringLiteral("床号："), h11, 103.7, 11.6, 12.2, 4.5);
    b.data(QStringLiteral("QRDBText7"), QStringLiteral("bedno"), s11, 113.8, 11.6, 10.8, 5.0);
    b.label(QStringLiteral("QRLabel11"), QStringLiteral("病历号："), h11, 129.1, 11.6, 16.1, 4.5);
    b.data(QStringLiteral("QRDBText6"), QStringLiteral("caseno"), s11, 142.9, 11.6, 13.0, 5.0);
    b.label(QStringLiteral("QRLabel6"), QStringLiteral("标本："), h11, 163.0, 11.6, 12.2, 4.5);
    b.data(QStringLiteral("QRDBText10"), QStringLiteral("kind"), s11, 173.6, 11.6, 8.7, 5.0);
    b.hline(QStringLiteral("QRShape2"), 0.0, 15.9, 192.9, 3.4, 2);
    b.vline(QStringLiteral("QRShape3"), 95.8, 17.5, 0.5, 62.4, 1);
    b.label(QStringLiteral("QRLabel14"), QStringLiteral("中英文名称"), s10b, 12.7, 18.5, 18.8, 4.5);
    b.label(QStringLiteral("QRLabel15"), QStringLiteral("结 果"), s10b, 48.7, 18.5, 9.8, 4.2);
    b.label(QStringLiteral("QRLabel19"), QStringLiteral("参考范围"), s10b, 61.4, 18.5, 15.1, 4.5);
    b.label(QStringLiteral("QRLabel16"), QStringLiteral("单 位"), s10b, 82.6, 18.5, 9.8, 4.5);
    b.label(QStringLiteral("QRLabel8"), QStringLiteral("中英文名称"), s10b, 108.0, 18.5, 18.8, 4.5);
    b.label(QStringLiteral("QRLabel9"), QStringLiteral("结 果"), s10b, 141.8, 18.5, 9.8, 4.2);
    b.label(QStringLiteral("QRLabel10"), QStringLiteral("参考范围"), s10b, 156.6, 18.5, 15.1, 4.5);
    b.label(QStringLiteral("QRLabel17"), QStringLiteral("单 位"), s10b, 177.8, 18.5, 9.8, 4.5);
    b.hline(QStringLiteral("QRShape4"), 0.0, 78.3, 192.9, 3.4, 2);
    b.data(QStringLiteral("QRDBText13"), QStringLiteral("takedate"), s10, 65.1, 80.7, 15.1, 5.0);
    b.data(QStringLiteral("QRDBText16"), QStringLiteral("taketime"), s10, 86.8, 80.7, 13.0, 5.0);
    b.data(QStringLiteral("QRDBText14"), QStringLiteral("checkdate"), s10, 113.2, 80.7, 16.9, 5.0);
    b.data(QStringLiteral("QRDBText17"), QStringLiteral("bgtime"), s10, 134.4, 80.7, 11.9, 5.0);
    b.data(QStringLiteral("QRDBText15"), QStringLiteral("operator"), s10, 157.7, 80.7, 15.1, 5.0);
    b.label(QStringLiteral("QRLabel18"), QStringLiteral("注:该结果仅对本次标本负责"), s10, 1.1, 81.0, 43.4, 4.2);
    b.label(QStringLiteral("QRLabel21"), QStringLiteral("收检时间"), s10, 49.7, 81.0, 14.0, 4.2);
    b.label(QStringLiteral("QRLabel23"), QStringLiteral("报告时间"), s10, 98.4, 81.0, 14.0, 4.5);
    b.label(QStringLiteral("QRLabel22"), QStringLiteral("检验者"), s10, 147.1, 81.0, 10.6, 4.5);
    b.label(QStringLiteral("QRLabel7"), QStringLiteral("审核"), s10, 172.5, 81.0, 7.1, 4.5);
    return b.done();
}

ReportForm frmtestreport3Design()
{
    Builder b(QStringLiteral("Tfrmtestreport3"), QStringLiteral("frmtestreport3"), QStringLiteral("testreport3"));
    b.page(5, 10, 5, 5, 195.0, 292.1);
    return b.done();
}

ReportForm frmtestreport4Design()
{
    Builder b(QStringLiteral("Tfrmtestreport4"), QStringLiteral("frmtestreport4"), QStringLiteral("testreport4"));
    b.page(5, 20, 10, 20, 170.1, 265.6);
    return b.done();
}

ReportForm a4ReportDesign()
{
    Builder b(QStringLiteral("Ta4Report"), QStringLiteral("a4Report"), QStringLiteral("a4rpt"));
    b.page(10, 10, 10, 10, 190.0, 265.6);
    a4Body(b, true);
    return b.done();
}

ReportForm a5ReportDesign()
{
    // The A4 preview on the B5 sheet, shrunk as a whole to the sheet's
    // width, as the B5 report prints: the A4 layout reaches past 182 mm.
    // Paper "B5" here is the 182 x 257 mm sheet (JIS), not ISO B5.
    ReportForm f = a4ReportDesign();
    f.className = QStringLiteral("Ta5Report");
    f.instanceName = f.title = QStringLiteral("a5Report");
    f.unitName = QStringLiteral("a5rpt");
    f.fitToPaper(QPageSize(QPageSize::JisB5));
    return f;
}

ReportForm frmnomreportDesign()
{
    Builder b(QStringLiteral("Tfrmnomreport"), QStringLiteral("frmnomreport"), QStringLiteral("nomreport"));
    b.form.setPageMm(210, 148.5);
    b.page(5, 20, 10, 20, 170.1, 265.6);
    // The printing faces' lines (ascent and descent) are taller than the
    // spaces this design leaves above its rules: the title stands 0.8 mm,
    // the three rows of particulars 0.5 mm and the table header 0.3 mm
    // higher than stored, so that no line reaches into the rule below it
    // and every text keeps its size.
    b.label(QStringLiteral("QRLabel1"), Title, font(Hei, 18, true), 14.8, -0.8, 140.0, 6.6, Align::Center);
    b.hline(QStringLiteral("QRShape1"), 14.8, 6.3, 140.0, 1.3, 2);
    b.label(QStringLiteral("frmtestreport"), Instrument, font(Song, 14, true), 14.8, 7.9, 140.0, 7.1,
            Align::Center);
    HalfSheetRows r;
    r.row1 = r.data1 = 15.4;
    r.row2 = r.data2 = 20.1;
    r.row3 = r.data3 = 24.9;
    r.line2 = 29.1;
    r.head = 31.5;
    r.line3 = 34.9;
    r.line4 = 120.7;
    r.foot = 123.3;
    r.footData = 123.0;
    r.caption = font(Hei, 11);
    r.boldData = font(Song, 11);
    r.plainData = font(Song, 11);
    halfSheetBody(b, r);
    b.label(QStringLiteral("QRLabel7"), QStringLiteral("注：本结果仅对本次标本负责。"), font(Song, 9),
            6.3, 129.1, 41.5, 4.5);
    return b.done();
}

QStringList graphicFormFields()
{
    return {QStringLiteral("name"), QStringLiteral("sex"), QStringLiteral("age"), QStringLiteral("shelfID"),
            QStringLiteral("depart"), QStringLiteral("caseno"), QStringLiteral("bedno"), QStringLiteral("doctor"),
            QStringLiteral("kind"), QStringLiteral("diagnose"), QStringLiteral("takedate"),
            QStringLiteral("taketime"), QStringLiteral("checkdate"), QStringLiteral("bgtime"),
            QStringLiteral("operator")};
}

QStringList textFormFields()
{
    QStringList f = graphicFormFields();
    f.removeAll(QStringLiteral("doctor"));
    f.removeAll(QStringLiteral("diagnose"));
    return f;
}

void installFontSubstitutions()
{
    const QString face = QStringLiteral("WenQuanYi Micro Hei");
    for (const QString &family : {QStringLiteral("宋体"), QStringLiteral("黑体"), QStringLiteral("仿宋")})
        QFont::insertSubstitution(family, face);
}

} // namespace reports
