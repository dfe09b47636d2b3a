#pragma once
// Dates are stored and compared as "yyyy-mm-dd" text, times as "hh:mm".
#include <QDate>
#include <QString>
#include <QTime>

QString isoDate(const QDate &d);            // "yyyy-mm-dd"
QString hhmm(const QTime &t);               // "hh:mm"
// A date typed by the user: "yyyy-mm-dd", "yyyy-m-d", "yyyy/mm/dd" or
// "yyyy.mm.dd", blanks around ignored. Invalid QDate when not a date.
QDate parseUserDate(const QString &text);
