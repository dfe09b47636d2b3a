#include "mainwindowtest.h"

#include "base/CustData.h"
#include "app/Unit1.h"
#include "app/appsetup.h"
#include "app/oprinput.h"
#include "app/pssinput.h"
#include "base/session.h"
#include "app/startup.h"
#include "platform/report/printing.h"
#include "testdb.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

void MainWindowTest::SetUp()
{
    installChineseFonts();
    dbPath = testdb::fresh(true);
    frmoprput = new Tfrmoprput;
    frmpssinput = new Tfrmpssinput;
    report::setPrinterBackend(std::make_shared<report::PdfFileBackend>(printOut.path()));
    dbdata = new Tdbdata(dbPath);
    ASSERT_TRUE(dbdata->connected()) << dbdata->openError().toStdString();
}

void MainWindowTest::TearDown()
{
    destroyWindows();
    session::setClock(nullptr);
    report::setPrinterBackend(nullptr);
}

void MainWindowTest::createMain()
{
    if (!Form1)
        createMainWindows();
}

void MainWindowTest::showMain()
{
    createMain();
    Form1->show();
    QApplication::processEvents();
    QApplication::processEvents();
}

void MainWindowTest::activate(QWidget *w)
{
    w->show();
    QApplication::setActiveWindow(w);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
}

void MainWindowTest::typeInto(QWidget *target, const QString &text, bool enter)
{
    if (auto *c = qobject_cast<QComboBox *>(target); c && c->lineEdit())
        target = c->lineEdit();
    target->setFocus();
    if (auto *e = qobject_cast<QLineEdit *>(target))
        e->selectAll();
    // keyClicks() takes ASCII only; Chinese text arrives as typed characters.
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
    if (text.isEmpty())
        QTest::keyClick(target, Qt::Key_Delete);
    if (enter)
        QTest::keyClick(target, Qt::Key_Return);
}

void MainWindowTest::typeKeys(const QString &keys)
{
    for (const QChar c : keys) {
        QWidget *w = QApplication::focusWidget();
        ASSERT_NE(w, nullptr);
        QTest::keyClick(w, c.toLatin1());
    }
}

void MainWindowTest::press(int key, Qt::KeyboardModifiers mods)
{
    QWidget *w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    QTest::keyClick(w, Qt::Key(key), mods);
    QApplication::processEvents();
}
