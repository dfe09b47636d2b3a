#pragma once
// The working day and the logged-on operator: the two facts of the main
// window that the rest of the program stamps on what it stores. The clock is
// injectable so that the midnight roll-over can be tested.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <functional>

namespace session {

QDate workdate();
void setWorkdate(const QDate &d);

QString currentOperator();
void setCurrentOperator(const QString &name);

QDateTime now();
QDate today();
// Replaces the system clock (nullptr restores it).
void setClock(std::function<QDateTime()> clock);

// Moves the work date to today when the calendar day has changed; true when
// it did.
bool rollOver();

} // namespace session
