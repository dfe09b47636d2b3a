#include "app/appsetup.h"

#include "base/database.h"
#include "app/umessage.h"
#include "platform/widgets/dialogs.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void installChineseFonts()
{
    // The window designs name these Chinese faces. On screen, at 9 pt, the
    // sans face reads best for all of them; reports choose their own faces
    // (report::reportFace), so this mapping never changes a printed measure.
    const QString wqy = QStringLiteral("WenQuanYi Micro Hei");
    for (const char *face : {"宋体", "黑体", "仿宋", "SimSun", "SimHei", "FangSong"})
        QFont::insertSubstitution(QString::fromUtf8(face), wqy);
}

void databaseUpgradeNotice(bool running)
{
    if (running)
        showMessageWindow(QStringLiteral("正在升级数据库，请稍候......"));
    else
        freeMessageWindow();
}

void setupApplication(QApplication &app)
{
    appdb::setUpgradeNotice(databaseUpgradeNotice);
    app.setApplicationName(QStringLiteral("vorlan60"));
    // The program's title goes to the message boxes only. Set as the
    // application's display name it would be appended to every window
    // title, and each window's caption is meant to stand alone.
    dlg::setCaption(QStringLiteral("VORLAN 60"));
    installChineseFonts();
    QFont f(QStringLiteral("宋体"), 9);
    app.setFont(f);
    auto *qt = new QTranslator(&app);
    if (qt->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qt);
}
