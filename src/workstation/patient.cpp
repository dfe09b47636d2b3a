#include "workstation/patient.h"

#include "base/CustData.h"
#include "base/session.h"
#include "platform/widgets/dbedits.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/inputmethods.h"
#include "workstation/patientreg.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

Tfrmpatient *frmpatient = nullptr;

namespace {

QDate workDate()
{
    return session::workdate();
}

QStringList names(db::Dataset *ds)
{
    QStringList out;
    if (!ds || !ds->isOpen())
        return out;
    for (int i = 0; i < ds->recordCount(); ++i)
        out << ds->valueAt(i, QStringLiteral("name")).toString();
    return out;
}

} // namespace

Tfrmpatient::Tfrmpatient(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmpatient"));
    setWindowTitle(QStringLiteral("病人资料窗口"));
    setFixedSize(515, 322);
    ADODataSet1 = new db::Dataset(this);
    ADODataSet1->setObjectName(QStringLiteral("ADODataSet1"));
    ADODataSet1->setUpdateTable(QStringLiteral("patient"));
    ADODataSet1->onNewRecord = [this](db::Dataset &ds) { ADODataSet1NewRecord(ds); };
    build();
}

void Tfrmpatient::build()
{
    QFont dataFont(QStringLiteral("宋体"));
    dataFont.setPixelSize(16);
    QFont buttonFont(QStringLiteral("宋体"));
    buttonFont.setPixelSize(12);

    // Two columns of seven fields, labels on the left of each.
    const int rowHeight = 36;
    int slot = 0;
    auto place = [&](QWidget *control, const char *name, const char *label) {
        const int col = slot / 7;
        const int row = slot % 7;
        ++slot;
        auto *l = new QLabel(QString::fromUtf8(label), this);
        l->setFont(dataFont);
        l->setGeometry(12 + col * 256, 14 + row * rowHeight, 76, 22);
        control->setObjectName(QLatin1String(name));
        control->setFont(dataFont);
        control->setGeometry(90 + col * 256, 12 + row * rowHeight, 160, 26);
        l->setBuddy(control);
        m_controls << control;
    };
    auto edit = [&](const char *name, const char *field, const char *label) {
        auto *e = new DBEdit(this);
        place(e, name, label);
        e->setDataField(ADODataSet1, QLatin1String(field));
        return e;
    };
    auto combo = [&](const char *name, const char *field, const char *label) {
        auto *c = new DBComboBox(this);
        place(c, name, label);
        c->setDataField(ADODataSet1, QLatin1String(field));
        return c;
    };

    DBEdit1 = edit("DBEdit1", "shelfID", "样本编号");
    DBEdit4 = edit("DBEdit4", "caseno", "病 历 号");
    DBEdit3 = edit("DBEdit3", "mzno", "门 诊 号");
    DBEdit2 = edit("DBEdit2", "name", "姓    名");
    DBComboBox1 = combo("DBComboBox1", "sex", "性    别");
    DBComboBox1->setItems({QStringLiteral("男"), QStringLiteral("女")});
    DBEdit5 = edit("DBEdit5", "age", "年    龄");
    DBComboBox2 = combo("DBComboBox2", "depart", "科    别");
    DBEdit6 = edit("DBEdit6", "bedno", "病 床 号");
    DBComboBox3 = combo("DBComboBox3", "kind", "标本种类");
    DBComboBox4 = combo("DBComboBox4", "apperance", "标本状况");
    DBEdit7 = edit("DBEdit7", "doctor", "送检医师");
    DBEdit8 = edit("DBEdit8", "takedate", "送检日期");
    DBEdit9 = edit("DBEdit9", "taketime", "送检时间");
    DBEdit10 = edit("DBEdit10", "diagnose", "临床诊断");

    Button1 = new QPushButton(QStringLiteral("保存(&S)"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFont(buttonFont);
    Button1->setGeometry(300, 282, 90, 28);
    Button2 = new QPushButton(QStringLiteral("返回(&X)"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setFont(buttonFont);
    Button2->setGeometry(408, 282, 90, 28);
    for (QPushButton *b : {Button1, Button2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(Button1, &QPushButton::clicked, this, &Tfrmpatient::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmpatient::Button2Click);

    QList<QWidget *> order = m_controls;
    order << Button1 << Button2;
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    // Every key of these controls is seen here first (the window previews keys).
    for (QWidget *w : order) {
        w->installEventFilter(this);
        if (auto *c = qobject_cast<QComboBox *>(w))
            c->lineEdit()->installEventFilter(this);
    }

    DBEdit1->onExit = [this]() { DBEdit1Exit(); };
    DBEdit4->onExit = [this]() { DBEdit4Exit(); };
    DBComboBox1->onExit = [this]() { DBComboBox1Exit(); };
    DBComboBox2->onExit = [this]() { DBComboBox2Exit(); };
    DBComboBox3->onExit = [this]() { DBComboBox3Exit(); };
    DBComboBox4->onExit = [this]() { DBComboBox4Exit(); };
    DBEdit7->onExit = [this]() { DBEdit7Exit(); };
    DBEdit2->onEnter = [this]() { DBEdit2Enter(); };
    DBEdit7->onEnter = [this]() { DBEdit7Enter(); };
}

bool Tfrmpatient::hasRow() const
{
    return ADODataSet1->isOpen() && ADODataSet1->currentRow() >= 0;
}

void Tfrmpatient::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) {
        if (QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        FormShow();
    }
}

void Tfrmpatient::FormShow()
{
    QString error;
    m_rowNumber.clear();
    if (!ws::openEmptyPatient(*ADODataSet1, &error))
        dlg::error(error, this);
    db::Dataset *depart = dbdata ? dbdata->departset : nullptr;
    db::Dataset *kind = dbdata ? dbdata->kindset : nullptr;
    db::Dataset *state = dbdata ? dbdata->apperanceset : nullptr;
    DBComboBox2->setItems(names(depart));
    DBComboBox3->setItems(names(kind));
    DBComboBox4->setItems(names(state));
    // Their first rows give the kind and state of new rows.
    for (db::Dataset *ds : {depart, kind, state})
        if (ds && ds->isOpen())
            ds->first();
    DBEdit1->setText(QString());
    DBEdit1->setFocus();
}

bool Tfrmpatient::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyPress) {
        QWidget *w = qobject_cast<QWidget *>(watched);
        // A combo box's edit reports for its combo box.
        if (w && qobject_cast<QComboBox *>(w->parentWidget()) && m_controls.contains(w->parentWidget()))
            w = w->parentWidget();
        auto *k = static_cast<QKeyEvent *>(e);
        if (FormKeyPress(w, k))
            return true;
        if (m_controls.contains(w) && DBEdit1KeyDown(w, k))
            return true;
    }
    return QDialog::eventFilter(watched, e);
}

bool Tfrmpatient::FormKeyPress(QWidget *, QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        focusNextChild();
        return true;
    }
    return false;
}

bool Tfrmpatient::DBEdit1KeyDown(QWidget *, QKeyEvent *e)
{
    if (e->key() == Qt::Key_Up) {
        focusPreviousChild();
        return true;
    }
    if (e->key() == Qt::Key_Down) {
        if ((e->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier)
            return false; // Alt+Down opens the list
        focusNextChild();
        return true;
    }
    return false;
}

QString Tfrmpatient::operatorName() const
{
    return currentOperator ? currentOperator() : session::currentOperator();
}

void Tfrmpatient::ADODataSet1NewRecord(db::Dataset &ds)
{
    ws::PatientDefaults d;
    d.workdate = workDate();
    d.now = session::now().time();
    d.currentOperator = operatorName();
    if (dbdata && dbdata->kindset)
        d.kind = dbdata->kindset->text(QStringLiteral("name"));
    if (dbdata && dbdata->apperanceset)
        d.apperance = dbdata->apperanceset->text(QStringLiteral("name"));
    ws::applyPatientDefaults(ds, d);
}

void Tfrmpatient::DBEdit1Exit()
{
    const QString typed = DBEdit1->text();
    if (typed.isEmpty())
        return;
    // Walking round the fields or clicking back into the number must not
    // throw away what was typed for the sample: only another number does.
    if (typed == m_rowNumber && hasRow())
        return;
    m_rowNumber.clear();
    QString error;
    if (!ws::loadSample(*ADODataSet1, typed, workDate(), &error)) {
        dlg::error(error, this);
        return;
    }
    m_rowNumber = typed;
}

void Tfrmpatient::DBEdit4Exit()
{
    const QString caseno = DBEdit4->text();
    if (caseno.isEmpty() || !hasRow())
        return;
    QString error;
    if (ws::fillFromArchive(*ADODataSet1, caseno, &error) == ws::Lookup::Failed)
        dlg::error(error, this);
}

void Tfrmpatient::digitShortcut(DBComboBox *box, const QString &field)
{
    if (!hasRow())
        return;
    QStringList entries;
    for (int i = 0; i < box->count(); ++i)
        entries << box->itemText(i);
    const QString typed = box->currentText();
    const QString value = ws::digitShortcut(typed, entries);
    if (value != typed)
        ADODataSet1->setValue(field, value.isEmpty() ? QVariant() : QVariant(value));
}

void Tfrmpatient::DBComboBox1Exit() { digitShortcut(DBComboBox1, QStringLiteral("sex")); }
void Tfrmpatient::DBComboBox3Exit() { digitShortcut(DBComboBox3, QStringLiteral("kind")); }
void Tfrmpatient::DBComboBox4Exit() { digitShortcut(DBComboBox4, QStringLiteral("apperance")); }

void Tfrmpatient::DBComboBox2Exit()
{
    const QString typed = DBComboBox2->currentText();
    // An empty department is left empty rather than matched to a department
    // whose abbreviation happens to be empty.
    if (typed.isEmpty() || !hasRow())
        return;
    QString name, error;
    switch (ws::lookupDepartment(typed, &name, &error)) {
    case ws::Lookup::Found:
        ADODataSet1->setValue(QStringLiteral("depart"), name);
        break;
    case ws::Lookup::Failed:
        dlg::error(error, this);
        break;
    case ws::Lookup::NotFound:
        break;
    }
}

void Tfrmpatient::DBEdit7Exit()
{
    if (!hasRow() || !dbdata || !dbdata->doctorset || !dbdata->doctorset->isOpen())
        return;
    QString name;
    if (ws::lookupDoctor(*dbdata->doctorset, DBEdit7->text(), &name) == ws::Lookup::Found)
        ADODataSet1->setValue(QStringLiteral("doctor"), name);
}

void Tfrmpatient::DBEdit2Enter()
{
    if (inputMethod)
        switchInputMethod(inputMethod());
}

void Tfrmpatient::DBEdit7Enter()
{
    DBEdit2Enter();
}

void Tfrmpatient::Button1Click()
{
    const QString typed = DBEdit1->text();
    if (typed.isEmpty())
        return;
    const QString current = operatorName();
    if (!ws::mayChange(ADODataSet1->text(QStringLiteral("operator")), current)) {
        dlg::message(QStringLiteral("病人的检验者不是当前检验者，不能修改病人资料!"), this);
        // The window stays on the refused sample, its pending changes dropped.
        ADODataSet1->cancel();
        return;
    }
    // The control being typed in hands its text over and runs its leave
    // handler before the row is written.
    DBEdit4->setFocus(Qt::OtherFocusReason);
    const QString next = ws::nextSampleNumber(DBEdit1->text());
    QString error;
    switch (ws::savePatient(*ADODataSet1, DBEdit1->text(), current, &error)) {
    case ws::SaveResult::Failed:
        dlg::error(error, this);
        return;
    case ws::SaveResult::Refused:
        dlg::message(QStringLiteral("病人的检验者不是当前检验者，不能修改病人资料!"), this);
        return;
    case ws::SaveResult::Nothing:
        return;
    case ws::SaveResult::Saved:
        break;
    }
    // The main list shows the new particulars and stays on its sample.
    if (sampleList && sampleList->isOpen()) {
        db::Dataset *list = sampleList;
        const QString keep = list->text(QStringLiteral("shelfid"));
        if (!list->requery())
            dlg::error(list->lastError(), this);
        else if (!keep.isEmpty())
            list->locate(QStringLiteral("shelfid"), keep);
    }
    // Ready for the next sample.
    m_rowNumber.clear();
    if (!ADODataSet1->append()) {
        dlg::error(ADODataSet1->lastError(), this);
        return;
    }
    DBEdit1->setText(next);
    DBEdit1->setFocus(Qt::OtherFocusReason);
}

void Tfrmpatient::Button2Click()
{
    ADODataSet1->cancel();
    close();
}

void Tfrmpatient::done(int r)
{
    // Whatever was typed and not saved is dropped when the window closes.
    ADODataSet1->cancel();
    QDialog::done(r);
}
