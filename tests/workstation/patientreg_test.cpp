// The patient window's rules on a fresh database.
#include "common/testdb.h"

#include "platform/db/dataset.h"
#include "workstation/patientreg.h"
#include "wsdb.h"

namespace {

// A patient row as the window keeps it, with its new-row defaults.
struct Row
{
    db::Dataset ds;
    QString err;
    Row()
    {
        ds.setUpdateTable(QStringLiteral("patient"));
        ds.onNewRecord = [](db::Dataset &d) {
            ws::PatientDefaults def;
            def.workdate = QDate(2026, 12, 6);
            def.now = QTime(8, 5);
            def.currentOperator = QStringLiteral("李四");
            def.kind = QStringLiteral("全血");
            def.apperance = QStringLiteral("正常");
            ws::applyPatientDefaults(d, def);
        };
    }
};

} // namespace

TEST(PatientRules, ShortcutsAndNumbers)
{
    const QStringList sexes{QStringLiteral("男"), QStringLiteral("女")};
    const struct { const char *typed, *expected; } shortcuts[] = {
        {"1", "男"}, {"2", "女"}, {"3", ""}, {"0", ""}, {"-1", ""}, {"M", "M"}, {"女", "女"}, {"", ""}};
    for (const auto &c : shortcuts)
        EXPECT_EQ(ws::digitShortcut(QString::fromUtf8(c.typed), sexes), QString::fromUtf8(c.expected)) << c.typed;
    const struct { const char *now, *next; } numbers[] = {{"15", "16"}, {"007", "8"}, {"12a", "13"}, {"a12", "1"}, {"", "1"}};
    for (const auto &c : numbers)
        EXPECT_EQ(ws::nextSampleNumber(c.now), QLatin1String(c.next)) << c.now;
    EXPECT_TRUE(ws::mayChange(QStringLiteral("李四"), QStringLiteral("李四")));
    EXPECT_FALSE(ws::mayChange(QStringLiteral("李四 "), QStringLiteral("李四")) || ws::mayChange({}, QStringLiteral("李四")));
}

TEST(PatientRules, DepartmentAndDoctorLookups)
{
    testdb::fresh();
    QString name;
    EXPECT_EQ(ws::lookupDepartment("WK", &name), ws::Lookup::Found); // abbreviations ignore case
    EXPECT_EQ(name, QStringLiteral("外科"));
    name.clear();
    EXPECT_EQ(ws::lookupDepartment("99", &name), ws::Lookup::NotFound);
    EXPECT_EQ(ws::lookupDepartment(QStringLiteral("x'y"), &name), ws::Lookup::NotFound);
    EXPECT_TRUE(name.isEmpty());

    db::Dataset doctors;
    ASSERT_TRUE(doctors.open(QStringLiteral("select * from doctor order by no")));
    doctors.last();
    EXPECT_EQ(ws::lookupDoctor(doctors, "2", &name), ws::Lookup::Found); // "02"
    EXPECT_EQ(name, QStringLiteral("李医生"));
    name.clear();
    EXPECT_EQ(ws::lookupDoctor(doctors, QStringLiteral("王医生"), &name), ws::Lookup::NotFound); // doctor 0
    EXPECT_TRUE(name.isEmpty());
    EXPECT_FALSE(doctors.filtered());
}

TEST(PatientRules, LoadIsExactAndStartsNewRows)
{
    testdb::fresh();
    wst::addPatient("15", QStringLiteral("张三"));
    wst::addPatient("1%", QStringLiteral("百分"));
    Row r;
    ASSERT_TRUE(ws::openEmptyPatient(r.ds, &r.err)) << r.err.toStdString();
    // A wildcard typed as a sample number is that number, not a pattern.
    for (const QString &typed : {QStringLiteral("1_"), QStringLiteral("%"), QStringLiteral("1'5")}) {
        ASSERT_TRUE(ws::loadSample(r.ds, typed, QDate(2026, 12, 6), &r.err)) << r.err.toStdString();
        EXPECT_EQ(r.ds.state(), db::Dataset::State::Insert) << typed.toStdString();
        EXPECT_EQ(r.ds.text("shelfid"), typed);
        EXPECT_TRUE(r.ds.text("name").isEmpty());
    }
    EXPECT_EQ(r.ds.text("takedate") + r.ds.text("taketime") + r.ds.text("operator") + r.ds.text("kind"),
              QStringLiteral("2026-12-0608:05李四全血"));
    // Saving a quoted number stores it as typed.
    EXPECT_EQ(ws::savePatient(r.ds, QStringLiteral("1'5"), QStringLiteral("李四"), &r.err), ws::SaveResult::Saved)
        << r.err.toStdString();
    EXPECT_EQ(wst::rowsUnder("patient", QStringLiteral("1'5")), 1);

    // The existing "1%" loads as it is; re-entering a number, typing over it
    // and another operator's sample go through the window's test.
    ASSERT_TRUE(ws::loadSample(r.ds, "1%", QDate(2026, 12, 6), &r.err));
    EXPECT_EQ(r.ds.state(), db::Dataset::State::Browse);
    EXPECT_EQ(r.ds.text("name"), QStringLiteral("百分"));
    EXPECT_EQ(wst::count("patient"), 3);
}

TEST(PatientRules, ArchiveFillsOnlyEmptyFieldsAndAlwaysSex)
{
    testdb::fresh();
    wst::run("insert into histpatient (shelfid, caseno, checkdate, name, mzno, sex, depart, age, bedno) values "
             "('3', 'AB12', '2026-11-01', '旧名', 'M1', '男', '内科', '40', '5'), "
             "('4', 'AB12', '2026-11-20', '新名', 'M2', '女', '外科', '41', '6'), "
             "('5', 'AB1', '2026-12-01', '别人', 'M3', '男', '儿科', '3', '7')");
    Row r;
    ASSERT_TRUE(ws::loadSample(r.ds, "20", QDate(2026, 12, 6), &r.err));
    r.ds.setValue("name", QStringLiteral("已填"));
    r.ds.setValue("age", QStringLiteral("   "));
    r.ds.setValue("sex", QStringLiteral("男"));
    EXPECT_EQ(ws::fillFromArchive(r.ds, QStringLiteral(" ab12 "), &r.err), ws::Lookup::Found) << r.err.toStdString();
    // The name is kept; the newest visit fills the rest, a blank age too, and
    // always the sex.
    EXPECT_EQ(QStringList({r.ds.text("name"), r.ds.text("mzno"), r.ds.text("caseno"), r.ds.text("age"), r.ds.text("sex")}),
              QStringList({"已填", "M2", "AB12", "41", "女"}));
    ASSERT_TRUE(ws::loadSample(r.ds, "21", QDate(2026, 12, 6), &r.err));
    EXPECT_EQ(ws::fillFromArchive(r.ds, QStringLiteral("ZZ"), &r.err), ws::Lookup::NotFound);
}
