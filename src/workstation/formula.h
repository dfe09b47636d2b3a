#pragma once
// The formula language of derived items. A formula names the results it
// uses as "(n)", n being the item number; parentheses do nothing else. Once
// the references are replaced by their values, what remains is arithmetic:
// numbers, + - * / ^ and a leading sign, evaluated here in C++ (never by the
// database: SQLite divides whole numbers as integers and reads "--" as a
// comment).
#include "base/currency.h"

#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <optional>

namespace derived {

// LIKE pattern that finds the formulas referring to an item: "%(n)%". The
// parentheses keep the references to items 1 and 11 apart.
QString referencePattern(int itemid);

// Evaluates arithmetic: decimal numbers (digits with one optional point and
// an optional exponent), binary + - * / ^, a leading + or - on a factor,
// blanks between tokens. Precedence: ^ above the sign above * / above + -,
// all left-associative; / always divides exactly. Characters U+E000 upwards
// stand for operands[ch - U+E000], each one indivisible number. Division by
// zero, a result that is not a finite number, or any other text fails with
// a reason in *error.
std::optional<double> evaluateArithmetic(const QString &text, const QVector<double> &operands,
                                         QString *error = nullptr);

// A double as the decimal text of 15 significant digits, rounded half to
// even to four decimals. This drops the binary noise of 1.1*3 before the
// rounding, so a result that is a decimal tie is rounded as one.
// nullopt when not finite or too large for four decimals.
std::optional<Currency> roundToCurrency(double d);

// What the look-up of one referenced item gives.
struct Operand
{
    bool found = false; // false: the sample has no result for the item
    QVariant value;     // the stored value text
};

struct FormulaOutcome
{
    enum Status { Ok, MissingOperand, Error };
    Status status = Error;
    Currency value;   // Ok: the result rounded to four decimals
    QString error;    // Error: why
};

// Replaces the references of a formula, left to right: the text from the
// first "(" to the first ")" is a reference as long as the ")" stands at
// least two characters after the "("; its inside, trimmed, must be an item
// number. Each item is looked up once and every copy of that reference takes
// its value, rounded to four decimals. A reference without a result ends
// with MissingOperand; a value that is not a number, an inside that is not an
// item number, or arithmetic that fails ends with Error.
FormulaOutcome evaluateFormula(const QString &formula, const std::function<Operand(int itemid)> &lookup);

} // namespace derived
