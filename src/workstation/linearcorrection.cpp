#include "workstation/linearcorrection.h"

#include "base/textutil.h"
#include "platform/db/command.h"
#include "workstation/fieldcacl.h"
#include "workstation/formula.h"

#include <climits>

namespace ws {

namespace {

constexpr int kValueWidth = 12;

// Upper case for the ASCII letters only, as sample numbers are typed.
QString asciiUpper(const QString &s)
{
    QString out = s;
    for (QChar &c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return out;
}

// A text that isnum() accepts as a number. "." and "-." have no digit and
// read as 0; a number beyond the double range reads as an infinity, which
// the rounding refuses. (QString's reading is the same in every locale.)
double numberOf(const QString &text)
{
    return text.trimmed().toDouble();
}

} // namespace

std::optional<std::pair<int, int>> correctionRange(const QStringList &listShelfids, const QString &from,
                                                   const QString &to)
{
    const QString first = asciiUpper(trimCtl(from));
    const QString second = asciiUpper(trimCtl(to));
    int a = -1;
    int b = -1;
    for (int r = 0; r < listShelfids.size() && (a < 0 || b < 0); ++r) {
        const QString id = trimCtl(listShelfids[r]);
        if (a < 0 && id == first)
            a = r;
        if (b < 0 && id == second)
            b = r;
    }
    if (a < 0 || b < 0)
        return std::nullopt;
    return std::make_pair(qMin(a, b), qMax(a, b));
}

std::optional<Currency> linearValue(const QString &x, const QString &a, const QString &b)
{
    if (!isnum(x) || !isnum(a) || !isnum(b))
        return std::nullopt;
    return derived::roundToCurrency(numberOf(x) * numberOf(a) + numberOf(b));
}

CorrectionResult correctItem(const QVector<DaySample> &samples, const Currency &itemid, const QString &a,
                             const QString &b, Tfrmfieldcount &fieldcount)
{
    CorrectionResult out;
    // A typed 7.5 names no item; 7 names item 7.
    if (itemid.scaled() % Currency::kScale != 0)
        return out;
    const qint64 item = itemid.scaled() / Currency::kScale;
    if (item < INT_MIN || item > INT_MAX)
        return out;

    db::Transaction transaction;
    QString error;
    if (!transaction.begin(&error)) {
        out.error = error;
        return out;
    }
    int corrected = 0;
    for (const DaySample &sample : samples) {
        const QString &shelfid = sample.shelfid;
        QVector<QVariantList> rows;
        if (!db::select(QStringLiteral("select rowid, value from testresult where shelfid=? and checkdate is ? "
                                       "and itemid=? order by rowid limit 1"),
                        {shelfid, sample.checkdate, item}, &rows, &error)) {
            out.error = error;
            return out;
        }
        if (rows.isEmpty())
            continue;
        const QString x = rows[0].value(1).toString();
        if (!isnum(x))
            continue;
        const std::optional<Currency> y = linearValue(x, a, b);
        if (!y) {
            out.error = QStringLiteral("样本 %1 的结果 %2 校正后超出范围，未作任何调整").arg(shelfid, x);
            return out;
        }
        const QString text = y->shortest();
        if (text.size() > kValueWidth) {
            out.error = QStringLiteral("样本 %1 的结果校正后为 %2，超过 %3 个字符，未作任何调整")
                            .arg(shelfid, text)
                            .arg(kValueWidth);
            return out;
        }
        if (!db::exec(QStringLiteral("update testresult set value=? where rowid=?"), {text, rows[0].value(0)},
                      &error)) {
            out.error = error;
            return out;
        }
        if (!fieldcount.calcexpression(shelfid, sample.checkdate, int(item), text, &error)) {
            out.error = error;
            return out;
        }
        ++corrected;
    }
    if (!transaction.commit(&error)) {
        out.error = error;
        return out;
    }
    out.corrected = corrected;
    return out;
}

} // namespace ws
