// The patient window's rules on a fresh database.
#include "common/testdb.h"

#include "platform/db/command.h"
#include "platform/db/dataset.h"
#include "workstation/patientreg.h"

#include <gtest/gtest.h>

namespace {

struct Row
{
    db::Dataset ds;
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

int patientCount()
{
    return db::scalar(QStringLiteral("select count(*) from patient")).toInt();
}

} // namespace

TEST(PatientRules, ShortcutsAndNumbers)
{
    const QStringList sexes{QStringLiteral("男"), QStringLiteral("女")};
    EXPECT_EQ(ws::digitShortcut("1", sexes), QStringLiteral("男"));
    EXPECT_EQ(ws::digitShortcut("2", sexes), QStringLiteral("女"));
    EXPECT_EQ(ws::digitShortcut("3", sexes), QString());
    EXPECT_EQ(ws::digitShortcut("0", sexes), QString());
    EXPECT_EQ(ws::digitShortcut("-1", sexes), QString());
    EXPECT_EQ(ws::digitShortcut("M", sexes), QStringLiteral("M"));
    EXPECT_EQ(ws::digitShortcut(QStringLiteral("女"), sexes), QStringLiteral("女"));
    EXPECT_EQ(ws::digitShortcut("", sexes), QString());

    EXPECT_EQ(ws::nextSampleNumber("15"), QStringLiteral("16"));
    EXPECT_EQ(ws::nextSampleNumber("007"), QStringLiteral("8"));
    EXPECT_EQ(ws::nextSampleNumber("12a"), QStringLiteral("13"));
    EXPECT_EQ(ws::nextSampleNumber("a12"), QStringLiteral("1"));
    EXPECT_EQ(ws::nextSampleNumber(""), QStringLiteral("1"));

    EXPECT_TRUE(ws::mayChange(QStringLiteral("李四"), QStringLiteral("李四")));
    EXPECT_FALSE(ws::mayChange(QStringLiteral("李四 "), QStringLiteral("李四")));
    EXPECT_FALSE(ws::mayChange(QString(), QStringLiteral("李四")));
}

TEST(PatientRules, DepartmentAndDoctorLookups)
{
    testdb::fresh();
    QString name;
    EXPECT_EQ(ws::lookupDepartment("3", &name), ws::Lookup::Found);
    EXPECT_EQ(name, QStringLiteral("妇产科"));
    EXPECT_EQ(ws::lookupDepartment("WK", &name), ws::Lookup::Found); // abbreviations ignore case
    EXPECT_EQ(name, QStringLiteral("外科"));
    name.clear();
    EXPECT_EQ(ws::lookupDepartment("99", &name), ws::Lookup::NotFound);
    EXPECT_EQ(ws::lookupDepartment(QStringLiteral("x'y"), &name), ws::Lookup::NotFound);
    EXPECT_TRUE(name.isEmpty());

    db::Dataset doctors;
    ASSERT_TRUE(doctors.open(QStringLiteral("select * from doctor order by no")));
    ASSERT_TRUE(db::exec(QStringLiteral("insert into doctor (no, name) values ('12', '赵医生')")));
    ASSERT_TRUE(doctors.requery());
    doctors.last();
    EXPECT_EQ(ws::lookupDoctor(doctors, "12", &name), ws::Lookup::Found);
    EXPECT_EQ(name, QStringLiteral("赵医生"));
    EXPECT_EQ(ws::lookupDoctor(doctors, "2", &name), ws::Lookup::Found); // "02"
    EXPECT_EQ(name, QStringLiteral("李医生"));
    name.clear();
    EXPECT_EQ(ws::lookupDoctor(doctors, QStringLiteral("王医生"), &name), ws::Lookup::NotFound); // doctor 0
    EXPECT_TRUE(name.isEmpty());
    EXPECT_FALSE(doctors.filtered());
    EXPECT_EQ(doctors.recordCount(), 4);
}

TEST(PatientRules, LoadIsExactAndStartsNewRows)
{
    testdb::fresh();
    ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, name, operator) values ('15', '张三', '李四')")));
    Row r;
    QString err;
    ASSERT_TRUE(ws::openEmptyPatient(r.ds, &err)) << err.toStdString();
    EXPECT_TRUE(r.ds.isEmpty());

    // A wildcard typed as a sample number is that number, not a pattern.
    for (const QString &typed : {QStringLiteral("1%"), QStringLiteral("1_"), QStringLiteral("%"), QStringLiteral("1'5")}) {
        ASSERT_TRUE(ws::loadSample(r.ds, typed, &err)) << err.toStdString();
        EXPECT_EQ(r.ds.state(), db::Dataset::State::Insert) << typed.toStdString();
        EXPECT_EQ(r.ds.text("shelfid"), typed);
        EXPECT_TRUE(r.ds.text("name").isEmpty());
    }
    // New-row defaults.
    EXPECT_EQ(r.ds.text("takedate"), QStringLiteral("2026-12-06"));
    EXPECT_EQ(r.ds.text("checkdate"), QStringLiteral("2026-12-06"));
    EXPECT_EQ(r.ds.text("taketime"), QStringLiteral("08:05"));
    EXPECT_EQ(r.ds.text("operator"), QStringLiteral("李四"));
    EXPECT_EQ(r.ds.text("kind"), QStringLiteral("全血"));
    EXPECT_EQ(r.ds.text("apperance"), QStringLiteral("正常"));

    // Saving a quoted number stores it as typed.
    EXPECT_EQ(ws::savePatient(r.ds, QStringLiteral("1'5"), QStringLiteral("李四"), &err), ws::SaveResult::Saved)
        << err.toStdString();
    EXPECT_EQ(db::scalar(QStringLiteral("select count(*) from patient where shelfid=?"), {QStringLiteral("1'5")}).toInt(), 1);

    // An existing row loads unchanged; typed particulars are dropped when the
    // number is entered again.
    ASSERT_TRUE(ws::loadSample(r.ds, "15", &err));
    EXPECT_EQ(r.ds.state(), db::Dataset::State::Browse);
    EXPECT_EQ(r.ds.text("name"), QStringLiteral("张三"));
    r.ds.setValue("name", QStringLiteral("改了"));
    ASSERT_TRUE(ws::loadSample(r.ds, "15", &err));
    EXPECT_EQ(r.ds.text("name"), QStringLiteral("张三"));
    EXPECT_EQ(db::scalar(QStringLiteral("select name from patient where shelfid='15'")).toString(), QStringLiteral("张三"));
    EXPECT_EQ(patientCount(), 2);
}

TEST(PatientRules, SaveChecksTheOperator)
{
    testdb::fresh();
    ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, name, operator) values ('7', '张三', '王五')")));
    Row r;
    QString err;
    ASSERT_TRUE(ws::loadSample(r.ds, "7", &err));
    r.ds.setValue("name", QStringLiteral("李四改"));
    EXPECT_EQ(ws::savePatient(r.ds, "7", QStringLiteral("李四"), &err), ws::SaveResult::Refused);
    EXPECT_EQ(r.ds.text("name"), QStringLiteral("张三")); // pending change cancelled
    EXPECT_EQ(db::scalar(QStringLiteral("select name from patient where shelfid='7'")).toString(), QStringLiteral("张三"));

    EXPECT_EQ(ws::savePatient(r.ds, "", QStringLiteral("王五"), &err), ws::SaveResult::Nothing);

    r.ds.setValue("name", QStringLiteral("张三丰"));
    EXPECT_EQ(ws::savePatient(r.ds, "7", QStringLiteral("王五"), &err), ws::SaveResult::Saved);
    EXPECT_EQ(db::scalar(QStringLiteral("select name from patient where shelfid='7'")).toString(), QStringLiteral("张三丰"));
    EXPECT_EQ(patientCount(), 1);
}

TEST(PatientRules, ArchiveFillsOnlyEmptyFieldsAndAlwaysSex)
{
    testdb::fresh();
    const char *ins = "insert into histpatient (shelfid, caseno, checkdate, name, mzno, sex, depart, age, bedno) "
                      "values (?, ?, ?, ?, ?, ?, ?, ?, ?)";
    ASSERT_TRUE(db::exec(QLatin1String(ins), {"3", "AB12", "2026-11-01", "旧名", "M1", "男", "内科", "40", "5"}));
    ASSERT_TRUE(db::exec(QLatin1String(ins), {"4", "AB12", "2026-11-20", "新名", "M2", "女", "外科", "41", "6"}));
    ASSERT_TRUE(db::exec(QLatin1String(ins), {"5", "AB1", "2026-12-01", "别人", "M3", "男", "儿科", "3", "7"}));

    Row r;
    QString err;
    ASSERT_TRUE(ws::loadSample(r.ds, "20", &err));
    r.ds.setValue("name", QStringLiteral("已填"));
    r.ds.setValue("age", QStringLiteral("   "));
    r.ds.setValue("sex", QStringLiteral("男"));
    EXPECT_EQ(ws::fillFromArchive(r.ds, QStringLiteral(" ab12 "), &err), ws::Lookup::Found) << err.toStdString();
    EXPECT_EQ(r.ds.text("name"), QStringLiteral("已填"));     // kept
    EXPECT_EQ(r.ds.text("mzno"), QStringLiteral("M2"));      // newest visit
    EXPECT_EQ(r.ds.text("caseno"), QStringLiteral("AB12"));
    EXPECT_EQ(r.ds.text("depart"), QStringLiteral("外科"));
    EXPECT_EQ(r.ds.text("age"), QStringLiteral("41"));       // blank counts as empty
    EXPECT_EQ(r.ds.text("bedno"), QStringLiteral("6"));
    EXPECT_EQ(r.ds.text("sex"), QStringLiteral("女"));       // always replaced

    ASSERT_TRUE(ws::loadSample(r.ds, "21", &err));
    EXPECT_EQ(ws::fillFromArchive(r.ds, QStringLiteral("ZZ"), &err), ws::Lookup::NotFound);
    EXPECT_TRUE(r.ds.text("name").isEmpty());
}
