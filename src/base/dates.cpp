#include "base/dates.h"

#include "base/textutil.h"

#include <QRegularExpression>

QString isoDate(const QDate &d)
{
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}

QString hhmm(const QTime &t)
{
    return t.toString(QStringLiteral("hh:mm"));
}

QDate parseUserDate(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})$"));
    const auto m = re.match(trimCtl(text));
    if (!m.hasMatch())
        return QDate();
    return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}
