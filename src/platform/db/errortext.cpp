#include "platform/db/errortext.h"

namespace db {

namespace {

struct FaultText
{
    FileFault fault;
    const char *fragments[3]; // lower-case pieces of SQLite's own texts
    const char *what;
    const char *advice;
};

// Only SQLite's own wording is matched: a failed write of an ordinary file
// ("No space left on device") must not be told as a database fault.
const FaultText kFaults[] = {
    {FileFault::Locked, {"database is locked", "table is locked", "schema is locked"},
     "数据库文件正被其他程序占用，暂时无法读写。", "请关闭正在使用该数据库的程序。"},
    {FileFault::ReadOnly, {"readonly database", nullptr, nullptr},
     "数据库文件是只读的，无法写入。", "请检查文件属性和所在文件夹的写入权限。"},
    {FileFault::Full, {"database or disk is full", nullptr, nullptr},
     "磁盘空间已满，数据无法写入数据库。", "请清理磁盘空间后再试。"},
    {FileFault::Damaged, {"database disk image is malformed", "file is not a database", nullptr},
     "数据库文件已损坏或无法读取。",
     "请不要删除该文件，先把它复制保存一份，再用备份文件 jykdb.mbk 恢复，或联系维护人员。"},
    {FileFault::DiskError, {"disk i/o error", nullptr, nullptr},
     "读写数据库文件时发生磁盘错误。", "请检查磁盘或网络连接后再试。"},
    {FileFault::CannotOpen, {"unable to open database file", nullptr, nullptr},
     "无法打开数据库文件或它的日志文件。", "请检查数据库文件和所在文件夹是否存在、能否读写。"},
};

const FaultText *find(FileFault fault)
{
    for (const FaultText &f : kFaults)
        if (f.fault == fault)
            return &f;
    return nullptr;
}

FileFault faultIn(const QString &databaseText);

bool alreadyTold(const QString &text)
{
    for (const FaultText &f : kFaults)
        if (text.contains(QString::fromUtf8(f.what)))
            return true;
    // A sentence of the program's own with the database's text in brackets
    // after it has said what happened already.
    const int open = text.indexOf(QStringLiteral("（"));
    return open > 0 && text.endsWith(QStringLiteral("）")) && faultIn(text.left(open)) == FileFault::None;
}

QString tell(const FaultText &f, const QString &advice, const QString &detail)
{
    return QString::fromUtf8(f.what) + advice + QStringLiteral("（") + detail.trimmed() + QStringLiteral("）");
}

} // namespace

namespace {
FileFault faultIn(const QString &databaseText)
{
    const QString lower = databaseText.toLower();
    for (const FaultText &f : kFaults)
        for (const char *piece : f.fragments)
            if (piece && lower.contains(QLatin1String(piece)))
                return f.fault;
    return FileFault::None;
}
} // namespace

FileFault fileFault(const QString &databaseText)
{
    return faultIn(databaseText);
}

QString describeError(const QString &databaseText)
{
    const FaultText *f = find(fileFault(databaseText));
    if (!f || alreadyTold(databaseText))
        return databaseText;
    return tell(*f, QString::fromUtf8(f->advice), databaseText);
}

QString describeOpenError(const QString &databaseText)
{
    const FileFault fault = fileFault(databaseText);
    if (fault != FileFault::Locked || alreadyTold(databaseText))
        return describeError(databaseText);
    return tell(*find(fault), QStringLiteral("请关闭正在使用该数据库的程序，然后重新启动本系统。"), databaseText);
}

QString describeFault(FileFault fault, const QString &detail)
{
    const FaultText *f = find(fault);
    return f ? tell(*f, QString::fromUtf8(f->advice), detail) : detail;
}

} // namespace db
