#include "workstation/resultinput.h"

#include "platform/db/dataset.h"
#include "platform/widgets/dialogs.h"
#include "workstation/sampleedit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

Tfrmresultinput *frmresultinput = nullptr;

namespace {

const QString kNameCaption = QStringLiteral("指标名称：");

bool isEnter(const QKeyEvent *e)
{
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

void focusAndSelect(QLineEdit *edit)
{
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

} // namespace

Tfrmresultinput::Tfrmresultinput(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmresultinput"));
    setWindowTitle(QStringLiteral("指标结果窗口"));
    QFont songti(QStringLiteral("宋体"));
    songti.setPixelSize(12);
    setFont(songti);
    setFixedSize(256, 122);

    auto label = [this](const QString &text, int x, int y) {
        auto *l = new QLabel(text, this);
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    label(QStringLiteral("指标"), 10, 16);
    label(QStringLiteral("序号："), 44, 6);
    label(QStringLiteral("缩写："), 44, 24);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(90, 12, 150, 21);

    Label2 = new QLabel(kNameCaption, this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(10, 48, 240, 18);
    QPalette highlight = Label2->palette();
    highlight.setColor(QPalette::WindowText, palette().color(QPalette::Highlight));
    Label2->setPalette(highlight);

    label(QStringLiteral("指标结果："), 10, 86);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(90, 82, 150, 21);
    // The value column holds twelve characters; a longer text would be cut
    // or refused by the database after the operator has moved on.
    Edit2->setMaxLength(ws::kResultWidth);

    // Keys are seen by the window first, as the whole entry runs on them.
    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);
}

void Tfrmresultinput::showEvent(QShowEvent *e)
{
    m_closing = false;
    QDialog::showEvent(e);
    FormShow();
}

void Tfrmresultinput::FormShow()
{
    Edit1->setFrame(false);
    Edit2->setFrame(false);
    focusAndSelect(Edit1);
}

void Tfrmresultinput::done(int r)
{
    // Closing is not leaving an edit: nothing is looked up or stored on the way out.
    m_closing = true;
    QDialog::done(r);
}

bool Tfrmresultinput::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        if (FormKeyPress(k))
            return true;
        if (watched == Edit1)
            return Edit1KeyPress(k);
        if (watched == Edit2)
            return Edit2KeyPress(k);
    } else if (e->type() == QEvent::FocusOut && !m_closing) {
        // Leaving an edit within the window; a window losing the focus to
        // another (a message box, another program) is not leaving it.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(e)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !m_handling) {
            if (watched == Edit1)
                Edit1Exit();
            else if (watched == Edit2)
                Edit2Exit();
        }
    }
    return QDialog::eventFilter(watched, e);
}

bool Tfrmresultinput::FormKeyPress(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return false;
}

bool Tfrmresultinput::Edit1KeyPress(QKeyEvent *e)
{
    if (!isEnter(e))
        return false;
    Edit2->clear();
    // The look-up runs once here, whether or not the window is active and
    // so sends focus events.
    m_handling = true;
    Edit2->setFocus(Qt::OtherFocusReason);
    m_handling = false;
    Edit1Exit();
    return true;
}

void Tfrmresultinput::Edit1Exit()
{
    QString error;
    const auto item = ws::findItem(Edit1->text(), &error);
    if (!error.isEmpty()) {
        dlg::error(error, this);
        return;
    }
    if (item) {
        curitemid = item->itemid;
        Label2->setText(kNameCaption + item->label);
        m_handling = true;
        focusAndSelect(Edit2);
        m_handling = false;
    } else {
        Edit1->clear();
        Label2->setText(kNameCaption);
        Edit2->clear();
        m_handling = true;
        focusAndSelect(Edit1);
        m_handling = false;
        curitemid = -1;
    }
}

bool Tfrmresultinput::Edit2KeyPress(QKeyEvent *e)
{
    if (!isEnter(e))
        return false;
    if (!Edit2->text().isEmpty()) {
        // Stored here once; the item stays in its edit for a quick change.
        Edit2Exit();
    } else if (sampleList && sampleList->isOpen() && !sampleList->eof()) {
        sampleList->next();
    }
    m_handling = true;
    focusAndSelect(Edit1);
    m_handling = false;
    return true;
}

void Tfrmresultinput::Edit2Exit()
{
    const QString typed = Edit2->text();
    if (typed.isEmpty() || !curitemid.isValid() || curitemid.toInt() == -1)
        return;
    if (!sampleList || !sampleList->isOpen() || sampleList->isEmpty())
        return;
    db::Dataset *list = sampleList;
    // The list may have moved on to a sample of another operator since the
    // window opened (an empty value with Enter steps to the next one).
    if (list->text(QStringLiteral("operator")) != (currentOperator ? currentOperator() : QString())) {
        dlg::message(QStringLiteral("病人的检验者不是当前检验者，不能修改检验结果!"), this);
        return;
    }
    QString error;
    if (!ws::storeResult(list->text(QStringLiteral("shelfid")), list->text(QStringLiteral("checkdate")),
                         curitemid.toInt(), typed, &error)) {
        dlg::error(error, this);
        return;
    }
    if (results && !results->requery())
        dlg::error(results->lastError(), this);
}
