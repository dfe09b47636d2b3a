// The main window's analyser link: the serial control's handler, the lamp,
// the status texts and the grid of malformed sample numbers with its save
// button. The work itself is done by intake::LinkReceiver and
// intake::applyCorrections; these handlers only carry results to the widgets.
#include "app/Unit1.h"

#include "base/dates.h"
#include "graphics/graphpanel.h"
#include "link/linkreceiver.h"
#include "link/numbercorrection.h"
#include "link/unsavedfile.h"
#include "platform/comm/commcontrol.h"
#include "platform/db/connection.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/lamp.h"
#include "platform/widgets/statusbar.h"

#include <QDir>
#include <QEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTime>
#include <QVBoxLayout>

namespace {

// Keeps the correction grid over the graph panel and turns a double click
// anywhere on the grid (cells, empty space) into StringGrid1DblClick.
class GridWatcher : public QObject
{
public:
    GridWatcher(TForm1 *form) : QObject(form), m_form(form) {}

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() == QEvent::MouseButtonDblClick && m_form->StringGrid1
            && watched == m_form->StringGrid1->viewport()) {
            m_form->StringGrid1DblClick();
            return true;
        }
        if ((e->type() == QEvent::Resize || e->type() == QEvent::Show) && watched == m_form->GraphHost)
            m_form->placeStringGrid1();
        return false;
    }

private:
    TForm1 *m_form;
};

QTableWidgetItem *cell(const QString &text, bool editable)
{
    auto *item = new QTableWidgetItem(text);
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable)
        f |= Qt::ItemIsEditable;
    item->setFlags(f);
    return item;
}

} // namespace

void TForm1::buildLink()
{
    MSComm1 = new CommControl(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    connect(MSComm1, &CommControl::OnComm, this, &TForm1::MSComm1Comm);

    LinkReceiver1 = new intake::LinkReceiver(this);
    connect(LinkReceiver1, &intake::LinkReceiver::lampChanged, this,
            [this](const QColor &c) { Shape1->setBrushColor(c); });
    connect(LinkReceiver1, &intake::LinkReceiver::statusChanged, this, &TForm1::setStatus);
    connect(LinkReceiver1, &intake::LinkReceiver::malformedNumber, this, &TForm1::listMalformedNumber);
    connect(LinkReceiver1, &intake::LinkReceiver::notice, this, &TForm1::showLinkNotice);
    // After the other panels, empty and without width until a notice comes.
    m_noticePanel = StatusBar1->addPanel(QString(), 0);
    StatusBar1->setPanelColor(m_noticePanel, QColor(128, 0, 0));
    // Shown from the event loop, not from inside the serial handler, and once
    // for a run of refusals rather than once per record.
    connect(LinkReceiver1, &intake::LinkReceiver::storeFailed, this,
            [this](const QString &message) { dlg::error(message, this); }, Qt::QueuedConnection);
    // Waiting records stored by the retry timer show up in the graphs too.
    connect(LinkReceiver1, &intake::LinkReceiver::recordsEnded, this, [this] {
        if (!m_inSerialHandler)
            drawgraphic(patientset, gresultset);
    });

    // The grid covers the graph panel while visible; the save button's panel
    // sits at the bottom of the same column.
    QWidget *host = GraphHost ? GraphHost : TabSheet1;
    StringGrid1 = new QTableWidget(0, 2, host);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->setColumnWidth(0, 71);
    StringGrid1->setColumnWidth(1, 69);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(14);
    StringGrid1->setFont(font);
    // Lime text on black; the grid hides the graph panel while it is up.
    QPalette pal = StringGrid1->palette();
    pal.setColor(QPalette::Text, QColor(0, 255, 0));
    pal.setColor(QPalette::Base, Qt::black);
    StringGrid1->setPalette(pal);
    StringGrid1->verticalHeader()->setDefaultSectionSize(24);
    StringGrid1->setTextElideMode(Qt::ElideNone);
    StringGrid1->setWordWrap(false);
    StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(StringGrid1, &QTableWidget::currentCellChanged, this,
            [this](int row, int column, int, int) { StringGrid1SelectCell(column, row); });
    StringGrid1->hide();

    Panel9 = new QWidget(host);
    Panel9->setObjectName(QStringLiteral("Panel9"));
    Panel9->setFixedHeight(45);
    Panel9->setAutoFillBackground(true);
    QPalette white = Panel9->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel9->setPalette(white);
    auto *lay = new QVBoxLayout(Panel9);
    lay->setContentsMargins(8, 8, 8, 8);
    Button5 = new QPushButton(QStringLiteral("保存更改"), Panel9);
    Button5->setObjectName(QStringLiteral("Button5"));
    lay->addWidget(Button5);
    connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
    // Placed over the bottom of the column, outside its layout, so that
    // showing it never makes the column or the window taller.
    Panel9->hide();

    auto *watcher = new GridWatcher(this);
    StringGrid1->viewport()->installEventFilter(watcher);
    host->installEventFilter(watcher);
    if (Panel1)
        connect(Panel1, &graphics::GraphPanel::doubleClicked, this, &TForm1::Panel1DblClick);

    StringGrid1Title();
}

void TForm1::StringGrid1Title()
{
    StringGrid1->setRowCount(1);
    StringGrid1->setItem(0, 0, cell(QStringLiteral("异常标本号"), false));
    StringGrid1->setItem(0, 1, cell(QStringLiteral("更正"), false));
}

void TForm1::openSerialPort()
{
    if (MSComm1->PortOpen() || MSComm1->setPortOpen(true))
        return;
    const intake::StatusText s = intake::statusForOpenFailure(MSComm1->errorString());
    setStatus(s.heading, s.message);
}

void TForm1::closeSerialPort()
{
    MSComm1->setPortOpen(false);
    // What the line delivered before it closed, then the record in progress
    // ends with the port.
    const QByteArray rest = MSComm1->Input();
    if (!rest.isEmpty())
        LinkReceiver1->receive(rest, isoDate(workdate()));
    LinkReceiver1->lineBroken();
    // What waited when the exit was confirmed is in its file already; what
    // came since and found no place goes to a file of its own.
    if (LinkReceiver1->unsavedBytes().isEmpty())
        return;
    QString error;
    if (LinkReceiver1->writeUnsavedBytes(&error).isEmpty())
        dlg::error(QStringLiteral("关闭串口时收到的数据未能保存，也未能写入文件（%1），这些数据将会丢失。").arg(error), this);
    LinkReceiver1->forgetUnsaved();
}

namespace {

// "有3个标本结果未能保存到数据库，另有1段收到的数据未能另存到文件" and the like.
QString unsavedCounts(int records, int asides)
{
    QStringList parts;
    if (records > 0)
        parts << QStringLiteral("%1个标本结果未能保存到数据库").arg(records);
    if (asides > 0)
        parts << QStringLiteral("%1段收到的数据未能另存到文件").arg(asides);
    return QStringLiteral("有") + parts.join(QStringLiteral("，另有"));
}

} // namespace

bool TForm1::confirmExitWithWaitingRecords(const QString &question)
{
    // What the database and the folders take now need not go to the file.
    LinkReceiver1->retryWaiting();
    const QByteArray asked = LinkReceiver1->unsavedBytes();
    const qint64 askedAt = LinkReceiver1->arrivalPoint();
    if (asked.isEmpty())
        return dlg::okCancel(question, this);
    QString error;
    const QString file = LinkReceiver1->writeUnsavedBytes(&error);
    const QString counts = unsavedCounts(LinkReceiver1->waitingCount(), LinkReceiver1->unwrittenCount());
    const QString said = file.isEmpty()
        ? counts + QStringLiteral("，写入文件也失败了（%1），退出后将丢失。\n").arg(error)
        : counts + QStringLiteral("，已按收到的原样写入文件：\n%1\n").arg(QDir::toNativeSeparators(file));
    const bool quit = dlg::okCancel(said + question, this);
    if (!quit) {
        // Still waiting in the program; written again at the next close.
        if (!file.isEmpty())
            intake::rewriteUnsaved(file, QByteArray());
        return false;
    }
    // While the question was up the retry timer may have stored some, and
    // more may have arrived: the file keeps exactly what waits now.
    const QByteArray now = LinkReceiver1->unsavedBytes();
    if (now != asked) {
        const bool more = !LinkReceiver1->unsavedBytes(askedAt).isEmpty();
        QString why;
        if (!file.isEmpty() && !intake::rewriteUnsaved(file, now, &why)) {
            const QString named = QDir::toNativeSeparators(file) + QStringLiteral("：");
            if (why.startsWith(named))
                why.remove(0, named.size());
            dlg::error(more ? QStringLiteral("退出前未能把提问之后收到的数据写入文件%1（%2），这些数据将会丢失。")
                                  .arg(QDir::toNativeSeparators(file), why)
                            : QStringLiteral("退出前未能更新文件%1（%2），其中有些数据在提问期间已经保存，不必再导入。")
                                  .arg(QDir::toNativeSeparators(file), why),
                       this);
        } else if (file.isEmpty() && !now.isEmpty() && LinkReceiver1->writeUnsavedBytes(&why).isEmpty()) {
            dlg::error(QStringLiteral("退出前未能把未保存的数据写入文件（%1），这些数据将会丢失。").arg(why), this);
        }
    }
    LinkReceiver1->forgetUnsaved();
    return true;
}

void TForm1::MSComm1Comm()
{
    const short code = MSComm1->CommEvent();
    switch (code) {
    case CommControl::comEvReceive: {
        m_inSerialHandler = true;
        const intake::ReceiveResult r = LinkReceiver1->receive(MSComm1->Input(), isoDate(workdate()));
        m_inSerialHandler = false;
        if (r.records > 0)
            drawgraphic(patientset, gresultset);
        break;
    }
    case CommControl::comEvLineBroken:
        LinkReceiver1->lineBroken();
        break;
    case CommControl::comEvDeviceMissing: {
        const intake::StatusText s = intake::statusForOpenFailure(MSComm1->errorString());
        setStatus(s.heading, s.message);
        break;
    }
    case CommControl::comEvDeviceOpened: {
        const intake::StatusText s = intake::statusForDeviceOpened(MSComm1->portName());
        setStatus(s.heading, s.message);
        break;
    }
    default:
        LinkReceiver1->commEvent(code);
    }
}

void TForm1::showLinkNotice(const QString &text, const QString &file)
{
    const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm"));
    ++m_linkNotices;
    m_linkNotice = (m_linkNotices > 1 ? QStringLiteral("第%1条 ").arg(m_linkNotices) : QString()) + time
        + QLatin1Char(' ') + text;
    m_linkNoticeFile = file;
    m_linkNoticeLog.prepend(time + QLatin1Char(' ') + text);
    while (m_linkNoticeLog.size() > 10)
        m_linkNoticeLog.removeLast();
    StatusBar1->setToolTip(m_linkNoticeLog.join(QLatin1Char('\n')));
    StatusBar1Resize();
}

void TForm1::fitLinkNotice()
{
    if (m_noticePanel < 0 || m_linkNotice.isEmpty())
        return;
    // The notice takes what it needs of the message panel's room, leaving
    // the message panel a little; when even that is too narrow, the words
    // after the sample numbers give way and the file's name stays whole.
    constexpr int kMessageMinimum = 120;
    constexpr int kFrame = 10; // bevel, gap and padding around the text
    int fixed = 0;
    for (int i = 0; i < StatusBar1->panelCount(); ++i)
        fixed += i == 1 || i == m_noticePanel ? 0 : StatusBar1->panelWidth(i);
    const int all = std::max(0, StatusBar1->width() - fixed);
    const QFontMetrics fm(StatusBar1->font());
    QString shown = m_linkNotice;
    const int room = std::max(0, all - kMessageMinimum - kFrame);
    if (fm.horizontalAdvance(shown) > room) {
        const qsizetype at = m_linkNoticeFile.isEmpty() ? -1 : shown.lastIndexOf(m_linkNoticeFile);
        const QString tail = at < 0 ? QString() : shown.mid(at);
        shown = fm.elidedText(shown.left(at < 0 ? shown.size() : at), Qt::ElideRight,
                              std::max(0, room - fm.horizontalAdvance(tail)))
            + tail;
    }
    StatusBar1->setPanelText(m_noticePanel, shown);
    StatusBar1->setPanelWidth(m_noticePanel, std::min(all, fm.horizontalAdvance(shown) + kFrame));
}

void TForm1::placeStringGrid1()
{
    if (!StringGrid1 || !StringGrid1->parentWidget())
        return;
    const QRect column = StringGrid1->parentWidget()->rect();
    // The button panel along the bottom of the column, the grid over the
    // graph panel above it.
    if (Panel9) {
        Panel9->setGeometry(column.left(), column.bottom() - 45 + 1, column.width(), 45);
        Panel9->raise();
    }
    QRect r = Panel1 ? Panel1->geometry() : column;
    if (Panel9 && Panel9->isVisible())
        r.setBottom(std::min(r.bottom(), Panel9->geometry().top() - 1));
    StringGrid1->setGeometry(r);
    StringGrid1->raise();
}

void TForm1::showStringGrid1(bool show)
{
    Panel9->setVisible(show);
    StringGrid1->setVisible(show);
    if (show)
        placeStringGrid1();
}

void TForm1::listMalformedNumber(const QString &shelfid)
{
    if (StringGrid1->isHidden())
        showStringGrid1(true);
    const int row = StringGrid1->rowCount();
    StringGrid1->setRowCount(row + 1);
    StringGrid1->setItem(row, 0, cell(shelfid, false));
    StringGrid1->setItem(row, 1, cell(QString(), true));
}

void TForm1::StringGrid1SelectCell(int column, int row)
{
    // Only the correction column of data rows is typed into.
    StringGrid1->setEditTriggers(intake::isCorrectionCell(column, row)
                                     ? QAbstractItemView::AllEditTriggers
                                     : QAbstractItemView::NoEditTriggers);
}

void TForm1::StringGrid1DblClick()
{
    showStringGrid1(false);
}

void TForm1::Panel1DblClick()
{
    showStringGrid1(true);
}

void TForm1::Button5Click()
{
    if (StringGrid1->rowCount() <= 1) {
        showStringGrid1(false);
        return;
    }
    if (!dlg::okCancel(QStringLiteral("该操作将替换旧的标本号,请确认输入的标本号正确，确定要保存吗？"), this))
        return;
    // Moving the current cell away commits an editor still open.
    const int selectedRow = StringGrid1->currentRow();
    const int selectedColumn = std::max(0, StringGrid1->currentColumn());
    StringGrid1->setCurrentIndex(QModelIndex());

    QVector<intake::CorrectionRow> rows;
    for (int i = 1; i < StringGrid1->rowCount(); ++i) {
        const QTableWidgetItem *n = StringGrid1->item(i, 0);
        const QTableWidgetItem *c = StringGrid1->item(i, 1);
        rows.append({n ? n->text() : QString(), c ? c->text() : QString()});
    }
    const intake::CorrectionOutcome out = intake::applyCorrections(db::database(), rows);

    const int count = 1 + int(out.remaining.size());
    StringGrid1->setRowCount(count);
    for (int i = 0; i < out.remaining.size(); ++i) {
        StringGrid1->setItem(i + 1, 0, cell(out.remaining[i].number, false));
        StringGrid1->setItem(i + 1, 1, cell(out.remaining[i].correction, true));
    }
    if (selectedRow >= 0)
        StringGrid1->setCurrentCell(std::min(selectedRow, count - 1), selectedColumn);

    // A refused or failed row stays listed and in view, with the reason.
    if (!out.error.isEmpty()) {
        dlg::error(out.error, this);
        return;
    }
    if (!out.refusals.isEmpty()) {
        dlg::warning(out.refusals.join(QLatin1Char('\n')), this);
        return;
    }
    showStringGrid1(false);
}
