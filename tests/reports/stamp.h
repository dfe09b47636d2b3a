#pragma once
// Helpers of the print tests: a day sample, its first-print stamp as one
// text, "bgtime|printflag" ("|0" when never printed), and a PDF back end that
// refuses jobs on demand as an offline printer does, and lets a test look at
// the program while a job prints.
#include "platform/db/command.h"
#include "platform/report/printing.h"

#include <functional>
#include <gtest/gtest.h>

// The stamp of a sample number's row of the day (of its first row when no day is given).
inline QString stampOf(const QString &shelfid, const QString &day = {})
{
    return db::scalar("select coalesce(bgtime, '') || '|' || coalesce(printflag, 0) from patient "
                      "where shelfid = ? and coalesce(?, '') in ('', checkdate)", {shelfid, day}).toString();
}

// A sample of a day, with one result of item 1 unless value is empty.
inline void addSample(const QString &id, const QString &name, const QString &value = "5", const QString &sex = "男",
                      const QString &day = "2026-12-06")
{
    EXPECT_TRUE(db::exec("insert into patient (shelfid, name, sex, age, depart, caseno, checkdate, takedate, taketime, "
                         "operator, printflag) values (?, ?, ?, '45', '内科', ?, ?, ?, '08:10', '李四', 0)",
                         {id, name, sex, "C" + id, day, day}));
    if (!value.isEmpty())
        EXPECT_TRUE(db::exec("insert into testresult (shelfid, checkdate, itemid, value) values (?, ?, 1, ?)", {id, day, value}));
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
            throw report::ReportError("打印机脱机");
        PdfFileBackend::print(job);
    }
    bool refuse = false;
    std::function<void()> whilePrinting;
};
