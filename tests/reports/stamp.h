#pragma once
// Helpers of the print tests: a day sample, its first-print stamp as one
// text, "bgtime|printflag" ("|0" when never printed), and a PDF back end that
// refuses jobs on demand as an offline printer does, and lets a test look at
// the program while a job prints.
#include "platform/db/command.h"
#include "platform/report/printing.h"

#include <functional>
#include <gtest/gtest.h>

inline QString stampOf(const QString &shelfid)
{
    const QString sql = QStringLiteral("select coalesce(bgtime, '') || '|' || coalesce(printflag, 0) from patient where shelfid = ?");
    return db::scalar(sql, {shelfid}).toString();
}

// A day sample, with one result of item 1 unless value is empty.
inline void addSample(const QString &id, const QString &name, const QString &value = QStringLiteral("5"),
                      const QString &sex = QStringLiteral("男"))
{
    QString err;
    EXPECT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, name, sex, age, depart, caseno, checkdate, "
                                        "takedate, taketime, operator, printflag) values (?, ?, ?, '45', '内科', ?, "
                                        "'2026-12-06', '2026-12-06', '08:10', '李四', 0)"),
                         {id, name, sex, QStringLiteral("C") + id}, &err)) << err.toStdString();
    if (!value.isEmpty())
        EXPECT_TRUE(db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) "
                                            "values (?, '2026-12-06', 1, ?)"), {id, value}));
}

class RefusingBackend : public report::PdfFileBackend
{
public:
    using PdfFileBackend::PdfFileBackend;
    void print(const report::PrintJob &job) override
    {
        if (whilePrinting)
            whilePrinting();
        if (refuse)
            throw report::ReportError(QStringLiteral("打印机脱机"));
        PdfFileBackend::print(job);
    }
    bool refuse = false;
    std::function<void()> whilePrinting;
};
