// SQL functions val, cdate, len and space, which the stored queries and the
// program's statements use and SQLite lacks. Registered on the native handle of a
// QSQLITE connection, which the Qt plugin opens through the same libsqlite3
// that we link.
#include "platform/db/connection.h"

#include <QDate>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <locale.h>
#include <stdlib.h>
#include <string>

namespace {

bool isValBlank(unsigned char c)
{
    // val skips blanks, tabs and line feeds wherever they stand, so " 1 2" is 12.
    return c == ' ' || c == '\t' || c == '\n';
}

int digitValue(unsigned char c, int base)
{
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d < base ? d : -1;
}

// Numeric value of the leading number of a text:
// blanks anywhere ignored, optional sign, digits with at most one point,
// optional exponent (E or D, optional sign, digits); "&H" hexadecimal and
// "&O" octal forms. 0 when the text starts with no number.
double leadingValue(const unsigned char *text, int bytes)
{
    std::string s;
    s.reserve(static_cast<size_t>(bytes));
    for (int i = 0; i < bytes; ++i) {
        if (!isValBlank(text[i]))
            s.push_back(static_cast<char>(text[i]));
    }

    if (s.size() >= 2 && s[0] == '&') {
        int base = 0;
        size_t pos = 1;
        if (s[1] == 'H' || s[1] == 'h') {
            base = 16;
            pos = 2;
        } else if (s[1] == 'O' || s[1] == 'o') {
            base = 8;
            pos = 2;
        } else if (digitValue(static_cast<unsigned char>(s[1]), 8) >= 0) {
            base = 8;
        }
        if (base == 0)
            return 0;
        double v = 0;
        for (; pos < s.size(); ++pos) {
            const int d = digitValue(static_cast<unsigned char>(s[pos]), base);
            if (d < 0)
                break;
            v = v * base + d;
        }
        return v;
    }

    // Cut the longest prefix that forms a number, then convert it.
    std::string num;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-')
            num.push_back('-');
        ++i;
    }
    bool digits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        num.push_back(s[i++]);
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        num.push_back('.');
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            num.push_back(s[i++]);
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            exp.push_back(s[j++]);
        bool expDigits = false;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            exp.push_back(s[j++]);
            expDigits = true;
        }
        if (expDigits)
            num += exp;
    }
    // Converted under the C locale whatever the program's locale is; an
    // overflow gives infinity, an underflow zero.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return strtod_l(num.c_str(), nullptr, cLocale);
}

void valFunc(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
        return;
    default: {
        const unsigned char *t = sqlite3_value_text(argv[0]);
        const int n = sqlite3_value_bytes(argv[0]);
        sqlite3_result_double(ctx, t ? leadingValue(t, n) : 0.0);
        return;
    }
    }
}

// Characters, not bytes, of UTF-8 text.
int utf8Length(const unsigned char *t, int bytes)
{
    int n = 0;
    for (int i = 0; i < bytes; ++i) {
        if ((t[i] & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

void lenFunc(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const unsigned char *t = sqlite3_value_text(argv[0]);
    const int n = sqlite3_value_bytes(argv[0]);
    sqlite3_result_int(ctx, t ? utf8Length(t, n) : 0);
}

void spaceFunc(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    // A fractional count rounds half to even, so stored queries count as they always have.
    const double d = std::nearbyint(sqlite3_value_double(argv[0]));
    if (!(d > 0)) {
        sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
        return;
    }
    const int limit = sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1);
    if (d > limit) {
        sqlite3_result_error_toobig(ctx);
        return;
    }
    const int n = static_cast<int>(d);
    char *buf = static_cast<char *>(sqlite3_malloc(n));
    if (!buf) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    std::memset(buf, ' ', static_cast<size_t>(n));
    sqlite3_result_text(ctx, buf, n, sqlite3_free);
}

// Accepts a calendar date written year first ("2024-03-05", "2024-3-5",
// "2024/03/05", "2024.3.5"), optionally followed by a blank or 'T' and a time,
// which is dropped. A number is a day serial counted from 1899-12-30, the
// form in which stored queries and older files hold dates.
QDate parseDateText(QByteArray text)
{
    text = text.trimmed();
    int pos = 0;
    const int n = text.size();
    auto number = [&](int maxDigits, int *out) {
        int digits = 0;
        int v = 0;
        while (pos < n && digits < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
            v = v * 10 + (text[pos] - '0');
            ++pos;
            ++digits;
        }
        *out = v;
        return digits > 0;
    };
    int y = 0, m = 0, d = 0;
    if (!number(4, &y) || pos != 4 || pos >= n)
        return {};
    const char sep = text[pos];
    if (sep != '-' && sep != '/' && sep != '.')
        return {};
    ++pos;
    if (!number(2, &m) || pos >= n || text[pos] != sep)
        return {};
    ++pos;
    if (!number(2, &d))
        return {};
    if (pos < n) {
        if (text[pos] != ' ' && text[pos] != 'T')
            return {};
        // A time part: hh:mm[:ss[.fff]]
        ++pos;
        while (pos < n && text[pos] == ' ')
            ++pos;
        int h = 0, mi = 0, s = 0;
        if (!number(2, &h) || pos >= n || text[pos] != ':')
            return {};
        ++pos;
        if (!number(2, &mi))
            return {};
        if (pos < n && text[pos] == ':') {
            ++pos;
            if (!number(2, &s))
                return {};
            if (pos < n && text[pos] == '.') {
                ++pos;
                int frac = 0;
                if (!number(9, &frac))
                    return {};
            }
        }
        if (pos != n || h > 23 || mi > 59 || s > 59)
            return {};
    }
    return QDate(y, m, d);
}

void cdateFunc(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    QDate date;
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
        const double serial = std::floor(sqlite3_value_double(argv[0]));
        if (std::fabs(serial) < 3e6)
            date = QDate(1899, 12, 30).addDays(static_cast<qint64>(serial));
        break;
    }
    default: {
        const char *t = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
        if (t)
            date = parseDateText(QByteArray(t, sqlite3_value_bytes(argv[0])));
        break;
    }
    }
    if (!date.isValid() || date.year() < 1 || date.year() > 9999) {
        sqlite3_result_null(ctx);
        return;
    }
    const QByteArray iso = date.toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    sqlite3_result_text(ctx, iso.constData(), iso.size(), SQLITE_TRANSIENT);
}

} // namespace

namespace db {

bool registerSqlFunctions(QSqlDatabase &database, QString *error)
{
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    if (!database.isOpen() || !database.driver())
        return fail(QStringLiteral("数据库连接没有打开"));
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return fail(QStringLiteral("数据库连接不是 SQLite 连接"));
    sqlite3 *h = *static_cast<sqlite3 *const *>(handle.constData());
    if (!h)
        return fail(QStringLiteral("数据库连接没有打开"));

    struct Fn {
        const char *name;
        void (*fn)(sqlite3_context *, int, sqlite3_value **);
    };
    static const Fn functions[] = {
        {"val", valFunc}, {"cdate", cdateFunc}, {"len", lenFunc}, {"space", spaceFunc}};
    for (const Fn &f : functions) {
        const int rc = sqlite3_create_function_v2(
            h, f.name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr, f.fn,
            nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return fail(QStringLiteral("无法注册 SQL 函数 %1：%2")
                            .arg(QLatin1String(f.name), QString::fromUtf8(sqlite3_errmsg(h))));
    }
    return true;
}

} // namespace db
