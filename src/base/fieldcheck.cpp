#include "base/fieldcheck.h"

#include "base/currency.h"
#include "base/textutil.h"

#include <QRegularExpression>
#include <cmath>

namespace fieldcheck {

namespace {

bool isText(const QVariant &v)
{
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray;
}

bool refuse(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

bool smallInt(const QString &caption, QVariant &value, QString *why)
{
    const auto notWhole = [&]() {
        return refuse(why, QStringLiteral("%1只能填整数，“%2”不是整数").arg(caption, value.toString()));
    };
    qint64 n = 0;
    if (isText(value)) {
        const QString typed = value.toString().trimmed();
        if (const std::optional<int> parsed = parseWholeNumber(typed)) {
            n = *parsed;
        } else {
            // Digits that only fail to fit are out of range, not "no number".
            static const QRegularExpression shape(QStringLiteral("^[+-]?([0-9]+|(\\$|0[xX]|[xX])[0-9A-Fa-f]+)$"));
            if (!shape.match(typed).hasMatch())
                return notWhole();
            n = 1000000;
        }
    } else {
        bool ok = false;
        const double d = value.toDouble(&ok);
        if (!ok || d != std::floor(d))
            return notWhole();
        n = d > 1e6 ? 1000000 : d < -1e6 ? -1000000 : qint64(d);
    }
    if (n < -32768 || n > 32767)
        return refuse(why, QStringLiteral("%1超出范围（-32768 至 32767），“%2”不能保存").arg(caption, value.toString()));
    value = int(n);
    return true;
}

bool currency(const QString &caption, QVariant &value, QString *why)
{
    std::optional<Currency> c;
    if (isText(value)) {
        const QString typed = value.toString().trimmed();
        if (!isnum(typed))
            return refuse(why, QStringLiteral("%1只能填数字，“%2”不是数字").arg(caption, value.toString()));
        c = Currency::fromText(typed);
    } else {
        bool ok = false;
        const double d = value.toDouble(&ok);
        if (!ok)
            return refuse(why, QStringLiteral("%1只能填数字，“%2”不是数字").arg(caption, value.toString()));
        c = Currency::fromDouble(d);
    }
    if (!c)
        return refuse(why, QStringLiteral("%1超出范围（-922337203685477.5808 至 922337203685477.5807），“%2”不能保存")
                               .arg(caption, value.toString()));
    value = c->toDouble();
    return true;
}

db::FieldDef::Check text(int width)
{
    return [width](const QString &caption, QVariant &value, QString *why) {
        const QString t = value.toString();
        if (t.size() > width)
            return refuse(why, QStringLiteral("%1最多 %2 个字符，“%3”有 %4 个字符").arg(caption).arg(width).arg(t).arg(t.size()));
        return true;
    };
}

} // namespace fieldcheck
