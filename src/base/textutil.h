#pragma once
// Text and number rules shared by every subsystem: the numeric test used for
// results, the whole-number parser used for typed numbers, and the trim that
// also strips control characters (STX/ETX from the analyser, tabs).
#include <QString>
#include <optional>

// True exactly when the whole text is a decimal number: optional leading
// blanks, optional sign, digits with at most one '.', optional exponent.
// A lone "." counts; trailing blanks, a second '.', letters do not.
bool isnum(const QString &s);

// Whole-number parser for typed numbers: optional sign, decimal digits, or
// hexadecimal after "$", "x", "X", "0x", "0X"; must fit 32 bits; the whole
// text must be used. Anything else gives nullopt.
std::optional<int> parseWholeNumber(const QString &s);

// Removes every character up to 0x20 (blanks and control characters) at
// both ends, and nothing else.
QString trimCtl(const QString &s);
