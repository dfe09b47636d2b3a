#include "link/linkreceiver.h"

#include "base/database.h"
#include "link/resultstore.h"
#include "link/unsavedfile.h"
#include "platform/db/connection.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace intake {

QColor lampIdleColor() { return QColor(128, 0, 0); }
QColor lampReceivingColor() { return QColor(0, 255, 0); }

std::optional<StatusText> statusForCode(int code)
{
    const QString status = QStringLiteral("状态:");
    const QString error = QStringLiteral("错误:");
    switch (code) {
    case 1:
    case 2:
        return std::nullopt;
    case 3: return StatusText{status, QStringLiteral("被检测的CTS改变")};
    case 4: return StatusText{status, QStringLiteral("被检测的DSR改变")};
    case 5: return StatusText{status, QStringLiteral("被检测的CD改变")};
    case 6: return StatusText{status, QStringLiteral("电话铃响起")};
    case 7: return StatusText{status, QStringLiteral("被检测的文件结尾")};
    case 1001: return StatusText{error, QStringLiteral("收到中断")};
    case 1003: return StatusText{error, QStringLiteral("DSR超时")};
    case 1004: return StatusText{error, QStringLiteral("帧错误")};
    case 1006: return StatusText{error, QStringLiteral("超限错误")};
    case 1007: return StatusText{error, QStringLiteral("运输检测超时")};
    case 1008: return StatusText{error, QStringLiteral("接收缓冲区溢出")};
    case 1009: return StatusText{error, QStringLiteral("奇偶校验错")};
    case 1010: return StatusText{error, QStringLiteral("传送缓冲区满")};
    case 1011: return StatusText{error, QStringLiteral("检索DCB错误")};
    default: return StatusText{error, QStringLiteral("未知错误")};
    }
}

StatusText statusForOpenFailure(const QString &reason)
{
    return StatusText{QStringLiteral("错误:"), reason + QStringLiteral("，串口未能打开，每隔几秒自动重试")};
}

StatusText statusForDeviceOpened(const QString &port)
{
    return StatusText{QStringLiteral("状态:"), QStringLiteral("串口%1已打开").arg(port)};
}

LinkReceiver::LinkReceiver(QObject *parent, qsizetype maxPending, qsizetype keptWhenTrimmed)
    : QObject(parent), m_buffer(maxPending, keptWhenTrimmed), m_lamp(lampIdleColor())
{
    m_retry.setInterval(kRetryIntervalMs);
    connect(&m_retry, &QTimer::timeout, this, [this] { retryWaiting(); });
}

QSqlDatabase LinkReceiver::database() const
{
    return m_haveDb ? m_db : db::database();
}

void LinkReceiver::setLamp(const QColor &c)
{
    if (c == m_lamp)
        return;
    m_lamp = c;
    emit lampChanged(c);
}

void LinkReceiver::showStatus(ReceiveResult *result, const QString &heading, const QString &message)
{
    result->status = StatusText{heading, message};
    emit statusChanged(heading, message);
}

namespace {

bool canBeSampleNumber(const QString &text)
{
    if (text.isEmpty() || text.size() > kShelfidWidth)
        return false;
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

} // namespace

QString noticeNumbers(const QStringList &numbers)
{
    QStringList listed;
    for (const QString &n : numbers) {
        const QString t = n.trimmed();
        if (canBeSampleNumber(t) && !listed.contains(t))
            listed.append(t);
    }
    if (listed.size() <= kNoticeNumbers)
        return listed.join(QStringLiteral("、"));
    return listed.mid(0, kNoticeNumbers).join(QStringLiteral("、")) + QStringLiteral("等%1个").arg(listed.size());
}

void LinkReceiver::giveNotice(ReceiveResult *result, const QString &text, const QString &file)
{
    result->notices.append(text);
    emit notice(text, file);
}

bool LinkReceiver::holdsRecordLines(const QByteArray &text, QStringList *numbers, int *total,
                                    int *beforeNumber) const
{
    const int lines = countRecordLines(text, m_items, numbers, beforeNumber);
    if (total)
        *total = lines;
    if (lines > 0)
        return true;
    return !m_haveItems && std::any_of(text.cbegin(), text.cend(), [](char c) { return uchar(c) > 0x20; });
}

void LinkReceiver::setAside(ReceiveResult *result, const QByteArray &raw, const QStringList &numbers,
                            SetAsideKind kind, const QString &after, qint64 order, bool open)
{
    result->setAsideNumbers += numbers;
    const QString listed = noticeNumbers(numbers);
    QString lead = !listed.isEmpty() ? QStringLiteral("标本号%1的数据").arg(listed)
        : !after.isEmpty()           ? QStringLiteral("标本号%1之后收到的无标本号数据").arg(after)
                                     : QStringLiteral("收到的无标本号数据");
    if (kind == SetAsideKind::Incomplete)
        lead += QStringLiteral("不完整（线路中断），");
    else if (kind == SetAsideKind::Ambiguous)
        lead += QStringLiteral("无法确定属于哪个标本，");
    else if (kind == SetAsideKind::TooLong)
        lead += QStringLiteral("过长，");
    lead += QStringLiteral("未保存，");
    Aside &a = m_asides.emplace_back();
    a.order = order;
    a.pending = raw;
    a.lead = lead;
    a.open = open;
    if (open)
        m_run = &a;
    flush(result, a);
}

// The record stored last may have lost its end: its own bytes and what
// follows go to one file, and the notice says it may be incomplete.
void LinkReceiver::openAfterStored(ReceiveResult *result, const QByteArray &bytes)
{
    const Stored stored = std::move(*m_lastStored);
    m_lastStored.reset();
    result->setAsideNumbers += stored.shelfid;
    Aside &a = m_asides.emplace_back();
    a.order = stored.order;
    a.pending = stored.bytes + bytes;
    a.lead = QStringLiteral("标本号%1的结果可能不完整，其后收到的无标本号数据未保存，").arg(stored.shelfid);
    a.with = QStringLiteral("连同%1的数据").arg(stored.shelfid);
    a.open = true;
    m_run = &a;
    flush(result, a);
}

void LinkReceiver::appendToRun(ReceiveResult *result, const QByteArray &bytes)
{
    m_run->pending += bytes;
    // While no folder takes it, the timer tries again, not every chunk.
    if (!m_run->failing)
        flush(result, *m_run);
}

void LinkReceiver::closeRun()
{
    if (m_run)
        m_run->open = false;
    m_run = nullptr;
}

void LinkReceiver::flush(ReceiveResult *result, Aside &a)
{
    if (a.pending.isEmpty())
        return;
    QString error;
    if (!a.path.isEmpty() && appendUnsaved(a.path, a.pending, &error)) {
        a.pending.clear();
        return;
    }
    // No file yet, or its own refuses more: a new one wherever one goes.
    const QString path = writeUnsaved(database().databaseName(), a.pending, &error);
    if (!path.isEmpty()) {
        a.path = path;
        a.pending.clear();
        a.failing = false;
        a.error.clear();
        result->setAside.append(path);
        const QString file = unsavedFileShownName(database().databaseName(), path);
        giveNotice(result, a.lead + QStringLiteral("已") + a.with + QStringLiteral("另存到文件") + file, file);
        return;
    }
    a.error = error;
    if (!a.failing) {
        a.failing = true;
        giveNotice(result,
                   a.lead + a.with + QStringLiteral("暂时无法另存到文件（%1），已暂存在程序中，磁盘或文件夹可以写入后将自动另存")
                                         .arg(error),
                   QString());
    }
}

void LinkReceiver::flushAsides(ReceiveResult *result)
{
    for (Aside &a : m_asides)
        flush(result, a);
    m_asides.remove_if([](const Aside &a) { return !a.open && a.pending.isEmpty(); });
}

int LinkReceiver::unwrittenCount() const
{
    return int(std::count_if(m_asides.cbegin(), m_asides.cend(), [](const Aside &a) { return !a.pending.isEmpty(); }));
}

void LinkReceiver::noteLastNumber(const QStringList &numbers)
{
    for (auto n = numbers.crbegin(); n != numbers.crend(); ++n) {
        if (canBeSampleNumber(n->trimmed())) {
            m_lastNumber = n->trimmed();
            return;
        }
    }
}

void LinkReceiver::takeText(ReceiveResult *result, const QByteArray &bytes, SetAsideKind kind, qint64 order,
                            bool anyText)
{
    if (bytes.isEmpty())
        return;
    QStringList numbers;
    int total = 0, beforeNumber = 0;
    const bool lines = holdsRecordLines(bytes, &numbers, &total, &beforeNumber);
    const QString before = m_lastNumber;
    noteLastNumber(numbers);
    const bool meaningful =
        lines || (anyText && std::any_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) > 0x20; }));
    if (!meaningful) {
        // Noise between pieces of one text stays with them, so that the
        // file holds the text as it came.
        if (m_run) {
            appendToRun(result, bytes);
        } else if (m_lastStored) {
            m_lastStored->bytes += bytes;
            if (m_lastStored->bytes.size() > m_buffer.maxPending())
                m_lastStored.reset();
        }
        return;
    }
    // Record lines before any number line of the text's own go on from what
    // came before it. Text after a number line is that number's; but a cut
    // block is followed by more of the same text, which goes with it.
    const bool continues = beforeNumber > 0 || total == 0;
    const bool numbered = total > beforeNumber && kind != SetAsideKind::TooLong;
    if (continues && m_run) {
        appendToRun(result, bytes);
        if (numbered)
            closeRun();
        return;
    }
    if (continues && lines && m_lastStored) {
        openAfterStored(result, bytes);
        if (numbered)
            closeRun();
        return;
    }
    closeRun();
    m_lastStored.reset();
    setAside(result, bytes, numbers, kind, before, order, kind == SetAsideKind::TooLong);
}

void LinkReceiver::setAsideTrimmed(ReceiveResult *result)
{
    bool continues = false;
    const QByteArray cut = m_buffer.takeTrimmed(&continues);
    if (cut.isEmpty())
        return;
    // Nothing of a line is dropped because it is long: what is cut from
    // text already being set aside goes with it.
    if (continues && m_run) {
        QStringList numbers;
        holdsRecordLines(cut, &numbers);
        noteLastNumber(numbers);
        appendToRun(result, cut);
        return;
    }
    takeText(result, cut, SetAsideKind::TooLong, ++m_order, false);
}

void LinkReceiver::storeWaiting(ReceiveResult *result)
{
    const bool hadWaiting = !m_waiting.empty() && m_refusing;
    while (!m_waiting.empty()) {
        const Waiting &w = m_waiting.front();
        QVector<ItemDef> items;
        const SaveOutcome out = DataSavetoTB(database(), w.text, w.workDate, &items);
        if (out.failed) {
            m_waitReason = out.error;
            break;
        }
        m_items = std::move(items);
        m_haveItems = true;
        const Waiting done = std::move(m_waiting.front());
        m_waiting.pop_front();

        // Text that holds record lines is never dropped: when the record has
        // no number of its own, all it came with is set aside; when it is
        // stored, what came before its start byte is.
        if (out.ambiguous) {
            const QString before = m_lastNumber;
            QStringList numbers;
            holdsRecordLines(done.raw, &numbers);
            noteLastNumber(numbers);
            closeRun();
            m_lastStored.reset();
            setAside(result, done.raw, numbers, SetAsideKind::Ambiguous, before, done.order, false);
            continue;
        }
        if (!out.stored) {
            takeText(result, done.raw, SetAsideKind::Unnumbered, done.order, false);
            continue;
        }
        takeText(result, done.raw.left(done.textStart), SetAsideKind::Unnumbered, done.order, false);
        closeRun();
        const QByteArray own = done.raw.mid(done.textStart);
        QStringList numbers;
        holdsRecordLines(own, &numbers);
        noteLastNumber(numbers);
        m_lastStored = Stored{out.shelfid, own, done.order};

        result->stored.append(out.shelfid);
        emit recordStored(out.shelfid);
        if (out.malformed) {
            result->malformed.append(out.shelfid);
            emit malformedNumber(out.shelfid);
        }
        if (!out.unconverted.isEmpty())
            giveNotice(result,
                       QStringLiteral("标本号%1的项目%2未能换算，已按原值保存")
                           .arg(out.shelfid, out.unconverted.join(QStringLiteral("、"))),
                       QString());
    }

    if (m_waiting.empty()) {
        m_recordsDone = m_recordsDone || hadWaiting;
        m_refusing = false;
        return;
    }
    if (!m_refusing) {
        m_refusing = true;
        emit storeFailed(QStringLiteral("标本结果未能保存到数据库，已留在等待列表中，数据库恢复后将按收到的顺序自动保存。\n")
                         + appdb::describeError(m_waitReason));
    }
}

void LinkReceiver::finish(ReceiveResult *result, bool stored)
{
    m_asides.remove_if([](const Aside &a) { return !a.open && a.pending.isEmpty(); });
    const int records = waitingCount();
    const int asides = unwrittenCount();
    if (records == 0 && asides == 0)
        m_retry.stop();
    else if (!m_retry.isActive())
        m_retry.start();

    // Told when records were tried or the set-aside text waiting changed,
    // not on every chunk.
    if ((records > 0 && stored) || (asides > 0 && (stored || asides != m_asidesShown))) {
        QStringList parts;
        if (records > 0)
            parts << QStringLiteral("%1个标本结果等待保存：").arg(records) + appdb::describeError(m_waitReason);
        if (asides > 0) {
            const auto a = std::find_if(m_asides.cbegin(), m_asides.cend(), [](const Aside &x) { return !x.pending.isEmpty(); });
            parts << QStringLiteral("%1段未保存的数据等待写入文件：").arg(asides) + a->error;
        }
        showStatus(result, QStringLiteral("错误:"), parts.join(QStringLiteral("；")));
    } else if (records == 0 && asides == 0 && (m_recordsDone || m_asidesShown > 0)) {
        QStringList done;
        if (m_recordsDone)
            done << QStringLiteral("等待保存的标本结果已全部保存");
        if (m_asidesShown > 0)
            done << QStringLiteral("等待写入的数据已全部写入文件");
        showStatus(result, QStringLiteral("状态:"), done.join(QStringLiteral("，")));
    }
    m_recordsDone = false;
    m_asidesShown = asides;
}

ReceiveResult LinkReceiver::receive(const QByteArray &chunk, const QString &workDate)
{
    ReceiveResult result;
    setLamp(lampReceivingColor());
    if (m_buffer.append(chunk)) {
        setLamp(lampIdleColor());
        // Every record the chunk completed joins the waiting list; the list is
        // then stored oldest first, so records are always stored in the order
        // they came, however long the database refuses them.
        while (auto record = m_buffer.takeRecord()) {
            ++result.records;
            m_waiting.push_back(
                {std::move(record->raw), std::move(record->text), record->textStart, workDate, ++m_order});
        }
        storeWaiting(&result);
        emit recordsEnded();
    }
    setAsideTrimmed(&result);
    finish(&result, result.records > 0);
    result.lamp = m_lamp;
    return result;
}

ReceiveResult LinkReceiver::lineBroken()
{
    ReceiveResult result;
    setAsideTrimmed(&result);
    takeText(&result, m_buffer.takePending(), SetAsideKind::Incomplete, ++m_order, true);
    // Whatever comes next comes on a new connection.
    closeRun();
    m_lastStored.reset();
    setLamp(lampIdleColor());
    finish(&result, false);
    result.lamp = m_lamp;
    return result;
}

ReceiveResult LinkReceiver::retryWaiting()
{
    ReceiveResult result;
    if (!m_waiting.empty()) {
        storeWaiting(&result);
        if (!result.stored.isEmpty())
            emit recordsEnded();
    }
    flushAsides(&result);
    finish(&result, true);
    result.lamp = m_lamp;
    return result;
}

QByteArray LinkReceiver::unsavedBytes(qint64 after) const
{
    std::vector<std::pair<qint64, const QByteArray *>> pieces;
    for (const Waiting &w : m_waiting)
        if (w.order > after)
            pieces.emplace_back(w.order, &w.raw);
    for (const Aside &a : m_asides)
        if (!a.pending.isEmpty() && a.order > after)
            pieces.emplace_back(a.order, &a.pending);
    std::stable_sort(pieces.begin(), pieces.end(), [](const auto &x, const auto &y) { return x.first < y.first; });
    QByteArray bytes;
    for (const auto &p : pieces)
        bytes += *p.second;
    return bytes;
}

QString LinkReceiver::writeUnsavedBytes(QString *error)
{
    const QByteArray bytes = unsavedBytes();
    return bytes.isEmpty() ? QString() : writeUnsaved(database().databaseName(), bytes, error);
}

void LinkReceiver::forgetUnsaved()
{
    m_waiting.clear();
    m_refusing = false;
    for (Aside &a : m_asides) {
        a.pending.clear();
        a.failing = false;
    }
    m_asides.remove_if([](const Aside &a) { return !a.open; });
    m_retry.stop();
}

std::optional<StatusText> LinkReceiver::commEvent(int code)
{
    const auto s = statusForCode(code);
    if (s)
        emit statusChanged(s->heading, s->message);
    return s;
}

} // namespace intake
