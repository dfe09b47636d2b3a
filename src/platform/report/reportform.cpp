#include "platform/report/reportform.h"
#include "platform/report/measure_p.h"

#include <QDate>
#include <QDateTime>
#include <QFontMetricsF>
#include <QHash>
#include <QTime>
#include <cmath>

namespace report {

Record recordFromMap(const QVariantMap &values)
{
    return [values](const QString &field) -> QVariant {
        auto it = values.constFind(field);
        if (it != values.constEnd())
            return it.value();
        for (auto i = values.constBegin(); i != values.constEnd(); ++i)
            if (i.key().compare(field, Qt::CaseInsensitive) == 0)
                return i.value();
        return {};
    };
}

Record emptyRecord()
{
    return [](const QString &) { return QVariant(); };
}

QString fieldText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("hh:mm"));
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    default:
        return value.toString();
    }
}

int mmToPx(double mm, int zoom)
{
    return int(std::lround(mm * 96.0 / 25.4 * zoom / 100.0));
}

double pxToMm(double px, int zoom)
{
    return px * 25.4 / 96.0 * 100.0 / zoom;
}

QString reportFace(const QString &family)
{
    static const QHash<QString, QString> faces{
        {QStringLiteral("宋体"), QStringLiteral("AR PL UMing CN")},
        {QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN")},
        {QStringLiteral("仿宋"), QStringLiteral("AR PL UKai CN")},
        {QStringLiteral("FangSong"), QStringLiteral("AR PL UKai CN")},
        {QStringLiteral("黑体"), QStringLiteral("WenQuanYi Micro Hei")},
        {QStringLiteral("SimHei"), QStringLiteral("WenQuanYi Micro Hei")},
    };
    return faces.value(family, family);
}

QFont FontSpec::toQFont() const
{
    QFont f(reportFace(family));
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QRect ReportItem::pxRect(int zoom) const
{
    return QRect(mmToPx(mm.left(), zoom), mmToPx(mm.top(), zoom),
                 mmToPx(mm.width(), zoom), mmToPx(mm.height(), zoom));
}

void ReportItem::setPxRect(const QRect &px, int zoom)
{
    mm = QRectF(pxToMm(px.left(), zoom), pxToMm(px.top(), zoom),
                pxToMm(px.width(), zoom), pxToMm(px.height(), zoom));
}

QSizeF measureTextMm(const QString &text, const FontSpec &font)
{
    const QFontMetricsF fm(font.toQFont(), detail::layoutDevice());
    return QSizeF(detail::layoutToMm(fm.horizontalAdvance(text)), detail::layoutToMm(fm.height()));
}

int textWidthPx(const QString &text, const FontSpec &font, int zoom)
{
    return mmToPx(measureTextMm(text, font).width(), zoom);
}

ReportForm ReportForm::instanceOf(const ReportForm &design)
{
    ReportForm f = design;
    f.m_design = std::make_shared<const ReportForm>(design);
    return f;
}

void ReportForm::recreate()
{
    if (!m_design)
        throw ReportError(QStringLiteral("报表 %1 没有设计，无法重建").arg(instanceName));
    auto design = m_design;
    *this = *design;
    m_design = design;
}

void ReportForm::setPageMm(double width, double length)
{
    pageSize = QPageSize(QSizeF(width, length), QPageSize::Millimeter,
                         QStringLiteral("Custom Size"), QPageSize::ExactMatch);
}

void ReportForm::fitToPaper(const QPageSize &paper)
{
    const double laidOut = pageSize.size(QPageSize::Millimeter).width() / scale;
    pageSize = paper;
    scale = paper.size(QPageSize::Millimeter).width() / laidOut;
}

void ReportForm::setMargins(double top, double left, double bottom, double right)
{
    marginsMm = QMarginsF(left, top, right, bottom);
}

QPageLayout ReportForm::pageLayout() const
{
    return QPageLayout(pageSize, orientation, QMarginsF(), QPageLayout::Millimeter);
}

ReportItem *ReportForm::find(const QString &name)
{
    for (auto &it : m_items)
        if (it.name == name)
            return &it;
    return nullptr;
}

const ReportItem *ReportForm::find(const QString &name) const
{
    return const_cast<ReportForm *>(this)->find(name);
}

ReportItem &ReportForm::item(const QString &name)
{
    if (ReportItem *it = find(name))
        return *it;
    throw ReportError(QStringLiteral("报表 %1 中没有 %2").arg(instanceName, name));
}

const ReportItem &ReportForm::item(const QString &name) const
{
    return const_cast<ReportForm *>(this)->item(name);
}

ReportItem &ReportForm::add(ReportItem it, bool runtime)
{
    it.runtime = runtime;
    m_items.push_back(std::move(it));
    return m_items.back();
}

ReportItem &ReportForm::addLabel(const QString &name, const QString &caption, const FontSpec &font,
                                 const QRect &px, Align align)
{
    ReportItem it;
    it.kind = ItemKind::Label;
    it.name = name;
    it.font = font;
    it.align = align;
    it.setPxRect(px, zoom);
    ReportItem &added = add(std::move(it));
    setCaption(added, caption);
    return added;
}

bool ReportForm::remove(const QString &name)
{
    for (auto i = m_items.begin(); i != m_items.end(); ++i) {
        if (i->name == name) {
            m_items.erase(i);
            return true;
        }
    }
    return false;
}

int ReportForm::removeRuntimeItems()
{
    const auto before = m_items.size();
    for (auto i = m_items.begin(); i != m_items.end();)
        i = i->runtime ? m_items.erase(i) : i + 1;
    return int(before - m_items.size());
}

void ReportForm::setCaption(ReportItem &label, const QString &caption)
{
    label.text = caption;
    if (label.kind == ItemKind::Label && label.autoSize)
        label.mm = detail::autoSizedBox(label, caption);
}

void ReportForm::setImage(const QString &name, const QImage &image)
{
    ReportItem &it = item(name);
    if (it.kind != ItemKind::Image)
        throw ReportError(QStringLiteral("%1 不是图像").arg(name));
    it.image = image.copy();
}

static ReportItem textItem(ItemKind kind, const QString &name, const FontSpec &font,
                           double left, double top, double width, double height)
{
    ReportItem it;
    it.kind = kind;
    it.name = name;
    it.font = font;
    it.mm = QRectF(left, top, width, height);
    return it;
}

ReportItem makeLabel(const QString &name, const QString &caption, const FontSpec &font,
                     double left, double top, double width, double height, Align align)
{
    ReportItem it = textItem(ItemKind::Label, name, font, left, top, width, height);
    it.text = caption;
    it.align = align;
    // Centred captions (titles) keep their stored box and centre in it.
    it.autoSize = align == Align::Left;
    return it;
}

ReportItem makeDataText(const QString &name, const QString &field, const FontSpec &font,
                        double left, double top, double width, double height)
{
    ReportItem it = textItem(ItemKind::DataText, name, font, left, top, width, height);
    it.field = field;
    return it;
}

static ReportItem shape(ItemKind kind, const QString &name, double left, double top,
                        double width, double height, double pen)
{
    ReportItem it;
    it.kind = kind;
    it.name = name;
    it.mm = QRectF(left, top, width, height);
    it.penWidth = pen;
    it.autoSize = false;
    return it;
}

ReportItem makeHLine(const QString &name, double left, double top, double width, double height, double pen)
{
    return shape(ItemKind::HLine, name, left, top, width, height, pen);
}

ReportItem makeVLine(const QString &name, double left, double top, double width, double height, double pen)
{
    return shape(ItemKind::VLine, name, left, top, width, height, pen);
}

ReportItem makeRect(const QString &name, double left, double top, double width, double height, double pen)
{
    return shape(ItemKind::Rect, name, left, top, width, height, pen);
}

ReportItem makeImage(const QString &name, double left, double top, double width, double height)
{
    return shape(ItemKind::Image, name, left, top, width, height, 0);
}

} // namespace report
