#include "workstation/formula.h"

#include "base/textutil.h"

#include <cmath>

namespace derived {

namespace {

constexpr ushort kOperandBase = 0xE000;

// Recursive descent over the arithmetic text.
class Parser
{
public:
    Parser(const QString &text, const QVector<double> &operands)
        : m_s(text), m_ops(operands)
    {
    }

    std::optional<double> run(QString *error)
    {
        const std::optional<double> v = sum();
        skipBlanks();
        if (v && m_pos < m_s.size())
            fail(QStringLiteral("公式有误：无法识别“%1”").arg(m_s.mid(m_pos)));
        if (!m_error.isEmpty()) {
            if (error)
                *error = m_error;
            return std::nullopt;
        }
        if (!std::isfinite(*v)) {
            if (error)
                *error = QStringLiteral("计算结果不是有效数字");
            return std::nullopt;
        }
        return v;
    }

private:
    void fail(const QString &why)
    {
        if (m_error.isEmpty())
            m_error = why;
    }

    void skipBlanks()
    {
        while (m_pos < m_s.size() && (m_s[m_pos] == QLatin1Char(' ') || m_s[m_pos] == QLatin1Char('\t')))
            ++m_pos;
    }

    bool take(QChar c)
    {
        skipBlanks();
        if (m_pos < m_s.size() && m_s[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    std::optional<double> sum()
    {
        std::optional<double> v = product();
        while (v) {
            if (take(QLatin1Char('+'))) {
                const auto r = product();
                if (!r)
                    return std::nullopt;
                v = *v + *r;
            } else if (take(QLatin1Char('-'))) {
                const auto r = product();
                if (!r)
                    return std::nullopt;
                v = *v - *r;
            } else {
                break;
            }
        }
        return v;
    }

    std::optional<double> product()
    {
        std::optional<double> v = signedFactor();
        while (v) {
            if (take(QLatin1Char('*'))) {
                const auto r = signedFactor();
                if (!r)
                    return std::nullopt;
                v = *v * *r;
            } else if (take(QLatin1Char('/'))) {
                const auto r = signedFactor();
                if (!r)
                    return std::nullopt;
                if (*r == 0) {
                    fail(QStringLiteral("除数为零"));
                    return std::nullopt;
                }
                v = *v / *r;
            } else {
                break;
            }
        }
        return v;
    }

    // A sign binds less tightly than ^: -2^2 is -4.
    std::optional<double> signedFactor()
    {
        if (take(QLatin1Char('-'))) {
            const auto v = signedFactor();
            return v ? std::optional<double>(-*v) : std::nullopt;
        }
        if (take(QLatin1Char('+')))
            return signedFactor();
        return power();
    }

    std::optional<double> power()
    {
        std::optional<double> v = primary();
        while (v && take(QLatin1Char('^'))) {
            // The exponent may carry its own sign: 2^-1 is 0.5.
            int sign = 1;
            for (;;) {
                if (take(QLatin1Char('-')))
                    sign = -sign;
                else if (!take(QLatin1Char('+')))
                    break;
            }
            const auto e = primary();
            if (!e)
                return std::nullopt;
            v = std::pow(*v, sign * *e);
        }
        return v;
    }

    std::optional<double> primary()
    {
        skipBlanks();
        if (m_pos >= m_s.size()) {
            fail(QStringLiteral("公式有误：缺少运算数"));
            return std::nullopt;
        }
        const ushort c = m_s[m_pos].unicode();
        if (c >= kOperandBase && c < kOperandBase + m_ops.size()) {
            ++m_pos;
            return m_ops[c - kOperandBase];
        }
        const int start = m_pos;
        int digits = 0;
        bool point = false;
        while (m_pos < m_s.size()) {
            const QChar ch = m_s[m_pos];
            if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9'))
                ++digits;
            else if (ch == QLatin1Char('.') && !point)
                point = true;
            else
                break;
            ++m_pos;
        }
        if (digits == 0) {
            m_pos = start;
            fail(QStringLiteral("公式有误：无法识别“%1”").arg(m_s.mid(start)));
            return std::nullopt;
        }
        if (m_pos < m_s.size() && (m_s[m_pos] == QLatin1Char('e') || m_s[m_pos] == QLatin1Char('E'))) {
            int p = m_pos + 1;
            if (p < m_s.size() && (m_s[p] == QLatin1Char('+') || m_s[p] == QLatin1Char('-')))
                ++p;
            int expDigits = 0;
            while (p < m_s.size() && m_s[p] >= QLatin1Char('0') && m_s[p] <= QLatin1Char('9')) {
                ++p;
                ++expDigits;
            }
            if (expDigits == 0) {
                fail(QStringLiteral("公式有误：无法识别“%1”").arg(m_s.mid(start)));
                return std::nullopt;
            }
            m_pos = p;
        }
        return m_s.mid(start, m_pos - start).toDouble();
    }

    const QString &m_s;
    const QVector<double> &m_ops;
    int m_pos = 0;
    QString m_error;
};

// The inside of a reference as an item number: optional sign and decimal
// digits, nothing else.
std::optional<int> itemNumber(const QString &inside)
{
    const QString t = trimCtl(inside);
    int i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        ++i;
    if (i == t.size())
        return std::nullopt;
    for (int k = i; k < t.size(); ++k)
        if (t[k] < QLatin1Char('0') || t[k] > QLatin1Char('9'))
            return std::nullopt;
    bool ok = false;
    const int n = t.toInt(&ok, 10);
    return ok ? std::optional<int>(n) : std::nullopt;
}

} // namespace

QString referencePattern(int itemid)
{
    return QStringLiteral("%(") + QString::number(itemid) + QStringLiteral(")%");
}

std::optional<double> evaluateArithmetic(const QString &text, const QVector<double> &operands, QString *error)
{
    return Parser(text, operands).run(error);
}

std::optional<Currency> roundToCurrency(double d)
{
    if (!std::isfinite(d))
        return std::nullopt;
    return Currency::fromText(QString::number(d, 'g', 15));
}

FormulaOutcome evaluateFormula(const QString &formula, const std::function<Operand(int itemid)> &lookup)
{
    FormulaOutcome out;
    QString f = formula;
    QVector<double> operands;
    QStringList written; // each operand's reference as the formula has it
    for (;;) {
        const int open = f.indexOf(QLatin1Char('('));
        const int close = f.indexOf(QLatin1Char(')'));
        if (open < 0 || close < 0 || close < open + 2)
            break;
        const QString token = f.mid(open, close - open + 1);
        const std::optional<int> ref = itemNumber(token.mid(1, token.size() - 2));
        if (!ref) {
            out.error = QStringLiteral("公式有误：“%1”不是指标序号").arg(token);
            return out;
        }
        const Operand operand = lookup(*ref);
        if (!operand.found) {
            out.status = FormulaOutcome::MissingOperand;
            return out;
        }
        // The number rule of the whole program: blanks before a number are
        // allowed, anything after it (a blank too) makes it no number.
        const std::optional<Currency> v = Currency::fromVariant(operand.value);
        if (!v) {
            const QString text = operand.value.toString();
            out.error = QStringLiteral("指标 %1 的结果“%2”不是数字").arg(*ref).arg(text);
            if (Currency::fromText(text.trimmed()))
                out.error += QStringLiteral("（数字后面有空格）");
            return out;
        }
        if (kOperandBase + operands.size() >= 0xF8FF) {
            out.error = QStringLiteral("公式有误：引用过多");
            return out;
        }
        // The value goes in as one operand, so a negative value after a
        // minus sign stays a subtraction of a negative number.
        f.replace(token, QString(QChar(ushort(kOperandBase + operands.size()))));
        operands.append(v->toDouble());
        written.append(token);
    }
    QString why;
    const std::optional<double> d = evaluateArithmetic(f, operands, &why);
    if (!d) {
        // The message shows the references as the user wrote them.
        for (int i = 0; i < written.size(); ++i)
            why.replace(QChar(ushort(kOperandBase + i)), written[i]);
        out.error = why;
        return out;
    }
    const std::optional<Currency> c = roundToCurrency(*d);
    if (!c) {
        out.error = QStringLiteral("计算结果超出范围");
        return out;
    }
    out.status = FormulaOutcome::Ok;
    out.value = *c;
    return out;
}

} // namespace derived
