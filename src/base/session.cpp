#include "base/session.h"

#include "base/dates.h"

namespace session {

namespace {
QDate g_workdate;
QString g_operator;
std::function<QDateTime()> &clock()
{
    static std::function<QDateTime()> c;
    return c;
}
} // namespace

QDate workdate()
{
    return g_workdate.isValid() ? g_workdate : today();
}

void setWorkdate(const QDate &d) { g_workdate = d; }
QString currentOperator() { return g_operator; }
void setCurrentOperator(const QString &name) { g_operator = name; }

QDateTime now()
{
    return clock() ? clock()() : QDateTime::currentDateTime();
}

QDate today()
{
    return now().date();
}

void setClock(std::function<QDateTime()> c)
{
    clock() = std::move(c);
}

bool rollOver()
{
    const QDate t = today();
    if (isoDate(workdate()) != isoDate(t)) {
        g_workdate = t;
        return true;
    }
    return false;
}

} // namespace session
