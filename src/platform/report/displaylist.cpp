#include "platform/report/displaylist.h"
#include "platform/report/measure_p.h"

#include <QFile>
#include <QFontMetricsF>
#include <QRegularExpression>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace report {

namespace detail {

QPaintDevice *layoutDevice()
{
    static QImage device = [] {
        QImage img(1, 1, QImage::Format_ARGB32);
        const int dpm = int(std::lround(LayoutDpi / 0.0254));
        img.setDotsPerMeterX(dpm);
        img.setDotsPerMeterY(dpm);
        return img;
    }();
    return &device;
}

QString cutToWidth(const QString &text, const FontSpec &font, double widthMm)
{
    const QFontMetricsF fm(font.toQFont(), layoutDevice());
    const double limit = mmToLayout(widthMm);
    if (fm.horizontalAdvance(text) <= limit)
        return text;
    int n = int(text.size());
    while (n > 0 && fm.horizontalAdvance(text.left(n)) > limit)
        --n;
    // Never split a surrogate pair.
    if (n > 0 && text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

QRectF autoSizedBox(const ReportItem &item, const QString &text)
{
    QRectF box = item.mm;
    const QSizeF size = measureTextMm(text, item.font);
    const double w = size.width();
    switch (item.align) {
    case Align::Left:
        box.setWidth(w);
        break;
    case Align::Center: {
        const double c = box.center().x();
        box.setLeft(c - w / 2);
        box.setWidth(w);
        break;
    }
    case Align::Right: {
        const double r = box.right();
        box.setLeft(r - w);
        box.setWidth(w);
        break;
    }
    }
    box.setHeight(std::max(box.height(), size.height()));
    return box;
}

QStringList wrapLines(const QString &text, const FontSpec &font, double widthMm)
{
    QStringList out;
    const double widthPx = mmToLayout(widthMm);
    const QStringList paragraphs = text.split(QLatin1Char('\n'));
    for (const QString &para : paragraphs) {
        if (para.isEmpty()) {
            out << QString();
            continue;
        }
        QTextLayout layout(para, font.toQFont(), layoutDevice());
        QTextOption opt;
        opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(opt);
        layout.beginLayout();
        for (;;) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(widthPx);
        }
        layout.endLayout();
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            QString part = para.mid(line.textStart(), line.textLength());
            // A wrapped line keeps no trailing blanks; a whole line does.
            if (layout.lineCount() > 1) {
                while (part.endsWith(QLatin1Char(' ')))
                    part.chop(1);
            }
            out << part;
        }
    }
    return out;
}

} // namespace detail

std::vector<const Primitive *> DisplayList::ofItem(const QString &item) const
{
    std::vector<const Primitive *> out;
    for (const auto &p : prims)
        if (p.item == item)
            out.push_back(&p);
    return out;
}

std::vector<const Primitive *> DisplayList::withText(const QString &text) const
{
    std::vector<const Primitive *> out;
    for (const auto &p : prims)
        if (p.kind == Primitive::Text && p.text == text)
            out.push_back(&p);
    return out;
}

QSizeF DisplayList::pageSizeMm() const
{
    return page.fullRect(QPageLayout::Millimeter).size();
}

// Where a text flagged cutAtNeighbour must end on its form (mm from the band's left).
static double neighbourEdge(const ReportForm &form, const ReportItem &it)
{
    const double gap = 0.5;
    double edge = form.bandMm.width() > it.mm.left() ? form.bandMm.width() : 0;
    double rulesEnd = 0;
    for (const ReportItem &o : form.items()) {
        if (o.kind == ItemKind::HLine) {
            rulesEnd = std::max(rulesEnd, o.mm.right());
            continue;
        }
        if (&o == &it || o.align != Align::Left || o.mm.left() <= it.mm.left() + 0.1)
            continue;
        const double overlap = std::min(it.mm.bottom(), o.mm.bottom()) - std::max(it.mm.top(), o.mm.top());
        if (overlap > gap)
            edge = edge > 0 ? std::min(edge, o.mm.left()) : o.mm.left();
    }
    if (rulesEnd > it.mm.left())
        edge = edge > 0 ? std::min(edge, rulesEnd) : rulesEnd;
    return edge > 0 ? std::max(0.0, edge - it.mm.left() - gap) : 0;
}

// Where a text flagged cutAtNeighbour may start: after the caption to its
// left on its line where that caption reaches into it. A closing full-width
// colon inks only the left half of its advance, so its right half may be
// shared.
static double startAfterCaption(const ReportForm &form, const ReportItem &it)
{
    double start = it.mm.left();
    for (const ReportItem &o : form.items()) {
        if (o.kind != ItemKind::Label || !o.autoSize || o.align != Align::Left || o.mm.left() >= it.mm.left())
            continue;
        const double overlap = std::min(it.mm.bottom(), o.mm.bottom()) - std::max(it.mm.top(), o.mm.top());
        if (overlap <= 0.5)
            continue;
        double right = o.mm.left() + measureTextMm(o.text, o.font).width();
        if (o.text.endsWith(QChar(0xFF1A)))
            right -= o.font.pointSize * 25.4 / 72 / 2;
        start = std::max(start, right + 0.3);
    }
    return start;
}

static void resolveText(const ReportForm &form, const ReportItem &item, QString text, const QPointF &origin,
                        DisplayList &out)
{
    ReportItem moved;
    const ReportItem *itp = &item;
    double maxWidth = item.maxWidthMm;
    if (item.cutAtNeighbour) {
        const double edge = neighbourEdge(form, item);
        const double start = startAfterCaption(form, item);
        if (start > item.mm.left()) {
            moved = item;
            moved.mm.moveLeft(start);
            itp = &moved;
        }
        if (edge > 0) {
            const double room = std::max(0.0, edge - (start - item.mm.left()));
            maxWidth = maxWidth > 0 ? std::min(maxWidth, room) : room;
        }
    }
    // A text wider than its room prints in smaller type, down to half its
    // size, and is cut only beyond that: a value or a case number must not
    // lose characters where smaller type still holds them.
    if (maxWidth > 0 && !text.contains(QLatin1Char('\n'))) {
        const double w = measureTextMm(text, itp->font).width();
        if (w > maxWidth) {
            if (itp != &moved) {
                moved = item;
                itp = &moved;
            }
            moved.font.pointSize = std::max(moved.font.pointSize / 2,
                                            std::floor(moved.font.pointSize * maxWidth / w * 10) / 10);
        }
    }
    const ReportItem &it = *itp;
    QRectF box = it.mm;
    QStringList lines;
    if (maxWidth > 0 && !text.contains(QLatin1Char('\n')))
        text = detail::cutToWidth(text, it.font, maxWidth);
    if (it.autoSize) {
        box = detail::autoSizedBox(it, text);
        lines = text.split(QLatin1Char('\n'));
    } else if (it.wordWrap) {
        lines = detail::wrapLines(text, it.font, box.width());
    } else {
        lines = text.split(QLatin1Char('\n'));
    }
    if (it.font.pointSize < item.font.pointSize) {
        // Smaller type stands on the line's baseline, not at its top, so it
        // reads in line with its neighbours.
        const QFontMetricsF full(item.font.toQFont(), detail::layoutDevice());
        const QFontMetricsF small(it.font.toQFont(), detail::layoutDevice());
        box.translate(0, detail::layoutToMm(full.ascent() - small.ascent()));
    }
    const QFontMetricsF fm(it.font.toQFont(), detail::layoutDevice());
    const double lineMm = detail::layoutToMm(fm.height());
    if (it.autoStretch)
        box.setHeight(std::max(box.height(), lineMm * lines.size()));

    box.translate(origin);
    double top = box.top();
    for (const QString &line : lines) {
        const double w = detail::layoutToMm(fm.horizontalAdvance(line));
        double left = box.left();
        if (it.align == Align::Center)
            left = box.center().x() - w / 2;
        else if (it.align == Align::Right)
            left = box.right() - w;
        Primitive p;
        p.kind = Primitive::Text;
        p.item = it.name;
        p.mm = QRectF(left, top, w, lineMm);
        p.text = line;
        p.font = it.font;
        p.align = it.align;
        p.box = box;
        p.background = it.background;
        if (!line.isEmpty() || it.background.isValid())
            out.prims.push_back(std::move(p));
        top += lineMm;
    }
}

// A page laid out at one size printed at another: every position, type
// size, pen and picture box shrinks (or grows) about the paper's corner.
static void scalePage(DisplayList &page, double s)
{
    auto rect = [s](const QRectF &r) { return QRectF(r.topLeft() * s, r.size() * s); };
    for (Primitive &p : page.prims) {
        p.mm = rect(p.mm);
        p.box = rect(p.box);
        p.line = QLineF(p.line.p1() * s, p.line.p2() * s);
        p.penMm *= s;
        p.font.pointSize *= s;
        if (p.chart) {
            // A chart sizes its pens and type from the millimetres it is
            // given; it draws smaller when a millimetre of its layout is.
            p.chart = [chart = p.chart, s](QPainter &painter, const QRectF &deviceRect, double pxPerMm) {
                chart(painter, deviceRect, pxPerMm * s);
            };
        }
    }
}

DisplayList resolve(const ReportForm &form, const Record &record)
{
    DisplayList out;
    out.page = form.pageLayout();
    out.title = form.title.isEmpty() ? form.instanceName : form.title;
    out.printerIndex = form.printerIndex;
    const QPointF origin(form.marginsMm.left(), form.marginsMm.top());
    const double pxMm = pxToMm(1, form.zoom);

    for (const ReportItem &it : form.items()) {
        const QRectF box = it.mm.translated(origin);
        // What every primitive drawn in the item's box carries.
        auto shape = [&](Primitive::Kind kind) {
            Primitive p;
            p.kind = kind;
            p.item = it.name;
            p.mm = box;
            return p;
        };
        switch (it.kind) {
        case ItemKind::Label:
            resolveText(form, it, it.text, origin, out);
            break;
        case ItemKind::DataText:
            resolveText(form, it, record ? fieldText(record(it.field)) : QString(), origin, out);
            break;
        case ItemKind::HLine:
        case ItemKind::VLine: {
            Primitive p = shape(Primitive::Line);
            p.penMm = it.penWidth * pxMm;
            if (it.kind == ItemKind::HLine)
                p.line = QLineF(box.left(), box.center().y(), box.right(), box.center().y());
            else
                p.line = QLineF(box.center().x(), box.top(), box.center().x(), box.bottom());
            out.prims.push_back(std::move(p));
            break;
        }
        case ItemKind::Rect: {
            Primitive p = shape(Primitive::Rect);
            p.penMm = it.penWidth * pxMm;
            out.prims.push_back(std::move(p));
            break;
        }
        case ItemKind::Image:
            if (!it.image.isNull()) {
                Primitive p = shape(Primitive::Image);
                p.image = it.image;
                out.prims.push_back(std::move(p));
            }
            break;
        case ItemKind::Chart:
            if (it.chart) {
                Primitive p = shape(Primitive::Chart);
                p.chart = it.chart;
                out.prims.push_back(std::move(p));
            }
            break;
        }
    }
    if (form.scale != 1)
        scalePage(out, form.scale);
    return out;
}

void paintPage(QPainter &painter, const DisplayList &page)
{
    QPaintDevice *dev = painter.device();
    const double sx = dev->logicalDpiX() / 25.4;
    const double sy = dev->logicalDpiY() / 25.4;
    auto toDev = [&](const QRectF &mm) {
        return QRectF(mm.left() * sx, mm.top() * sy, mm.width() * sx, mm.height() * sy);
    };

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (const Primitive &p : page.prims) {
        switch (p.kind) {
        case Primitive::Text: {
            const QRectF r = toDev(p.mm);
            if (p.background.isValid())
                painter.fillRect(r, p.background);
            // Point sizes are resolved against the device, so the world
            // matrix stays unscaled.
            QFont f = p.font.toQFont();
            painter.setFont(f);
            painter.setPen(p.font.color);
            const QFontMetricsF fm(f, dev);
            // Aligned texts take their place from the width this device
            // draws them with.
            double left = r.left();
            if (p.align == Align::Center)
                left = (p.box.center().x() * sx) - fm.horizontalAdvance(p.text) / 2;
            else if (p.align == Align::Right)
                left = p.box.right() * sx - fm.horizontalAdvance(p.text);
            // The baseline sits where the layout put it: the face's own
            // ascent below the line's top (a PDF device reports the taller
            // bounding-box ascent instead).
            const QFontMetricsF layout(f, detail::layoutDevice());
            const double ascent = detail::layoutToMm(layout.ascent()) * sy;
            painter.drawText(QPointF(left, r.top() + ascent), p.text);
            break;
        }
        case Primitive::Line: {
            QPen pen(Qt::black, std::max(p.penMm * sx, 1.0));
            pen.setCapStyle(Qt::FlatCap);
            painter.setPen(pen);
            painter.drawLine(QPointF(p.line.x1() * sx, p.line.y1() * sy),
                             QPointF(p.line.x2() * sx, p.line.y2() * sy));
            break;
        }
        case Primitive::Rect: {
            QPen pen(Qt::black, std::max(p.penMm * sx, 1.0));
            pen.setJoinStyle(Qt::MiterJoin);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(toDev(p.mm));
            break;
        }
        case Primitive::Image:
            painter.drawImage(toDev(p.mm), p.image);
            break;
        case Primitive::Chart:
            painter.save();
            p.chart(painter, toDev(p.mm), sx);
            painter.restore();
            break;
        }
    }
    painter.restore();
}

// Qt writes each page box in whole points, which makes a 148.5 mm half sheet
// 421 pt long instead of 420.94. The box is rewritten with the exact size in
// place; both numbers keep their width, so the file's offsets stay valid.
static void exactPageBoxes(const QString &fileName, const std::vector<DisplayList> &pages)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite))
        throw ReportError(QStringLiteral("无法写入文件 %1").arg(fileName));
    QByteArray data = file.readAll();
    static const QRegularExpression box(QStringLiteral("/MediaBox \\[0 0 ([0-9]+\\.[0-9]+) ([0-9]+\\.[0-9]+)\\]"));
    const QString text = QString::fromLatin1(data);
    size_t page = 0;
    bool changed = false;
    for (auto it = box.globalMatch(text); it.hasNext() && page < pages.size(); ++page) {
        const auto m = it.next();
        // Points from millimetres: Qt rounds its own point sizes too.
        const QSizeF exact = pages[page].pageSizeMm() * (72.0 / 25.4);
        const QByteArray w = QByteArray::number(exact.width(), 'f', 6);
        const QByteArray h = QByteArray::number(exact.height(), 'f', 6);
        if (w.size() != m.capturedLength(1) || h.size() != m.capturedLength(2))
            continue;
        data.replace(m.capturedStart(1), w.size(), w);
        data.replace(m.capturedStart(2), h.size(), h);
        changed = true;
    }
    if (changed && (!file.seek(0) || file.write(data) != data.size()))
        throw ReportError(QStringLiteral("无法写入文件 %1").arg(fileName));
}

void renderPdf(const std::vector<DisplayList> &pages, const QString &fileName)
{
    QPdfWriter writer(fileName);
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("vorlan60"));
    if (!pages.empty()) {
        writer.setTitle(pages.front().title);
        if (!writer.setPageLayout(pages.front().page))
            throw ReportError(QStringLiteral("无法写入文件 %1").arg(fileName));
    }
    QPainter painter;
    if (!painter.begin(&writer))
        throw ReportError(QStringLiteral("无法写入文件 %1").arg(fileName));
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0) {
            if (!writer.setPageLayout(pages[i].page) || !writer.newPage())
                throw ReportError(QStringLiteral("无法写入文件 %1").arg(fileName));
        }
        paintPage(painter, pages[i]);
    }
    if (!painter.end())
        throw ReportError(QStringLiteral("无法写入文件 %1").arg(fileName));
    exactPageBoxes(fileName, pages);
}

QImage renderImage(const DisplayList &page, double dpi)
{
    const QSizeF mm = page.pageSizeMm();
    QImage img(int(std::lround(mm.width() / 25.4 * dpi)), int(std::lround(mm.height() / 25.4 * dpi)),
               QImage::Format_RGB32);
    const int dpm = int(std::lround(dpi / 0.0254));
    img.setDotsPerMeterX(dpm);
    img.setDotsPerMeterY(dpm);
    img.fill(Qt::white);
    QPainter painter(&img);
    paintPage(painter, page);
    painter.end();
    return img;
}

} // namespace report
