#include "workstation/linejust.h"

#include "platform/db/dataset.h"

#include "base/currency.h"
#include "base/textutil.h"
#include "platform/widgets/dialogs.h"
#include "workstation/fieldcacl.h"
#include "workstation/linearcorrection.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

Tfrmlinejust *frmlinejust = nullptr;

namespace {

QLabel *label(QWidget *parent, const QString &text, int x, int y)
{
    auto *l = new QLabel(text, parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

QLineEdit *edit(QWidget *parent, const char *name, const QString &text, int x, int y, int w)
{
    auto *e = new QLineEdit(text, parent);
    e->setObjectName(QLatin1String(name));
    e->setGeometry(x, y, w, 21);
    return e;
}

} // namespace

Tfrmlinejust::Tfrmlinejust(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmlinejust"));
    setWindowTitle(QStringLiteral("请输入"));
    setFixedSize(193, 250);

    label(this, QStringLiteral("指标序号:"), 8, 12);
    edititemid = edit(this, "edititemid", QString(), 80, 8, 97);
    label(this, QStringLiteral("转换公式： Y=AX+B"), 8, 40);
    label(this, QStringLiteral("系数：A="), 8, 68);
    edita = edit(this, "edita", QStringLiteral("1"), 80, 64, 97);
    label(this, QStringLiteral("系数：B="), 8, 96);
    editb = edit(this, "editb", QStringLiteral("0"), 80, 92, 97);
    label(this, QStringLiteral("样本编号范围："), 8, 124);
    label(this, QStringLiteral("从"), 8, 152);
    samp1 = edit(this, "samp1", QString(), 32, 148, 145);
    label(this, QStringLiteral("至"), 8, 180);
    samp2 = edit(this, "samp2", QString(), 32, 176, 145);

    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(16, 212, 75, 25);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(102, 212, 75, 25);
    // Enter in an edit must not start a correction by itself.
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &Tfrmlinejust::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmlinejust::Button2Click);
}

Tfrmlinejust::~Tfrmlinejust()
{
    if (frmlinejust == this)
        frmlinejust = nullptr;
}

void Tfrmlinejust::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void Tfrmlinejust::FormShow()
{
    // Only the item number follows the result grid; the other texts stay
    // from the last use.
    if (results && results->isOpen() && !results->isEmpty())
        edititemid->setText(QString::number(results->asInteger(QStringLiteral("itemid"))));
}

void Tfrmlinejust::Button1Click()
{
    const std::optional<Currency> item = isnum(edititemid->text()) ? Currency::fromText(edititemid->text())
                                                                   : std::nullopt;
    if (!item) {
        edititemid->setFocus();
        return;
    }
    edititemid->setText(item->shortest());
    if (!isnum(edita->text())) {
        edita->setFocus();
        return;
    }
    if (!isnum(editb->text())) {
        editb->setFocus();
        return;
    }

    // The list as it shows now: its rows, its order, its print filter.
    QStringList shelfids;
    QVector<ws::DaySample> samples;
    db::Dataset *list = sampleList;
    if (list && list->isOpen())
        for (int r = 0; r < list->recordCount(); ++r) {
            shelfids << list->valueAt(r, QStringLiteral("shelfid")).toString();
            samples.append({shelfids.last(), list->valueAt(r, QStringLiteral("checkdate"))});
        }
    const auto range = ws::correctionRange(shelfids, samp1->text(), samp2->text());
    if (!range)
        return;

    Tfrmfieldcount ownFieldcount;
    Tfrmfieldcount &fieldcount = frmfieldcount ? *frmfieldcount : ownFieldcount;
    const ws::CorrectionResult result = ws::correctItem(samples.mid(range->first, range->second - range->first + 1),
                                                        *item, edita->text(), editb->text(), fieldcount);
    if (!result.error.isEmpty()) {
        dlg::error(result.error, this);
        return;
    }
    if (results && results->isOpen() && !results->requery()) {
        dlg::error(results->lastError(), this);
        return;
    }
    dlg::message(QStringLiteral("数据调整完毕！"), this);
}

void Tfrmlinejust::Button2Click()
{
    close();
}
