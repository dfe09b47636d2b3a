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

LinkReceiver::LinkReceiver(QObject *parent)
    : QObject(parent), m_lamp(lampIdleColor())
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

bool LinkReceiver::holdsRecordLines(const QByteArray &text, QStringList *numbers) const
{
    if (countRecordLines(text, m_items, numbers) > 0)
        return true;
    return !m_haveItems && std::any_of(text.cbegin(), text.cend(), [](char c) { return uchar(c) > 0x20; });
}

void LinkReceiver::setAside(ReceiveResult *result, const QByteArray &raw, const QStringList &numbers,
                            SetAsideKind kind, const QString &after)
{
    QString error;
    const QString path = writeUnsaved(database().databaseName(), raw, &error);
    if (!path.isEmpty())
        result->setAside.append(path);
    result->setAsideNumbers += numbers;
    const QString listed = noticeNumbers(numbers);
    QString text = !listed.isEmpty() ? QStringLiteral("标本号%1的数据").arg(listed)
        : !after.isEmpty()           ? QStringLiteral("标本号%1之后收到的无标本号数据").arg(after)
                                     : QStringLiteral("收到的无标本号数据");
    if (kind == SetAsideKind::Incomplete)
        text += QStringLiteral("不完整（线路中断），");
    else if (kind == SetAsideKind::Ambiguous)
        text += QStringLiteral("无法确定属于哪个标本，");
    text += QStringLiteral("未保存，");
    QString file;
    if (!path.isEmpty()) {
        file = unsavedFileShownName(database().databaseName(), path);
        text += QStringLiteral("已另存到文件") + file;
    } else {
        text += QStringLiteral("另存文件失败：") + error;
    }
    giveNotice(result, text, file);
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

void LinkReceiver::setAsideTrimmed(ReceiveResult *result)
{
    const QByteArray cut = m_buffer.takeTrimmed();
    QStringList numbers;
    if (!cut.isEmpty() && holdsRecordLines(cut, &numbers))
        setAside(result, cut, numbers, SetAsideKind::Unnumbered, m_lastNumber);
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
        const QString before = m_lastNumber;
        QStringList numbers;
        const bool lines = holdsRecordLines(done.raw, &numbers);
        noteLastNumber(numbers);
        if (out.ambiguous) {
            setAside(result, done.raw, numbers, SetAsideKind::Ambiguous, before);
            continue;
        }
        if (!out.stored) {
            if (lines)
                setAside(result, done.raw, numbers, SetAsideKind::Unnumbered, before);
            continue;
        }
        QStringList early;
        const QByteArray prefix = done.raw.left(done.textStart);
        if (holdsRecordLines(prefix, &early))
            setAside(result, prefix, early, SetAsideKind::Unnumbered, before);
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
        m_retry.stop();
        if (hadWaiting)
            showStatus(result, QStringLiteral("状态:"), QStringLiteral("等待保存的标本结果已全部保存"));
        m_refusing = false;
        return;
    }
    const QString reason = appdb::describeError(m_waitReason);
    showStatus(result, QStringLiteral("错误:"),
               QStringLiteral("%1个标本结果等待保存：").arg(m_waiting.size()) + reason);
    if (!m_refusing) {
        m_refusing = true;
        emit storeFailed(QStringLiteral("标本结果未能保存到数据库，已留在等待列表中，数据库恢复后将按收到的顺序自动保存。\n")
                         + reason);
    }
    if (!m_retry.isActive())
        m_retry.start();
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
            m_waiting.push_back({std::move(record->raw), std::move(record->text), record->textStart, workDate});
        }
        storeWaiting(&result);
        emit recordsEnded();
    }
    setAsideTrimmed(&result);
    result.lamp = m_lamp;
    return result;
}

ReceiveResult LinkReceiver::lineBroken()
{
    ReceiveResult result;
    setAsideTrimmed(&result);
    const QByteArray pending = m_buffer.takePending();
    const bool meaningful = std::any_of(pending.cbegin(), pending.cend(), [](char c) { return uchar(c) > 0x20; });
    if (meaningful) {
        QStringList numbers;
        countRecordLines(pending, m_items, &numbers);
        setAside(&result, pending, numbers, SetAsideKind::Incomplete, m_lastNumber);
        noteLastNumber(numbers);
    }
    setLamp(lampIdleColor());
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
    result.lamp = m_lamp;
    return result;
}

QByteArray LinkReceiver::waitingBytes(int first) const
{
    QByteArray bytes;
    if (first >= 0 && size_t(first) < m_waiting.size())
        for (auto w = m_waiting.cbegin() + first; w != m_waiting.cend(); ++w)
            bytes += w->raw;
    return bytes;
}

QString LinkReceiver::writeWaiting(QString *error, int first)
{
    const QByteArray bytes = waitingBytes(first);
    return bytes.isEmpty() ? QString() : writeUnsaved(database().databaseName(), bytes, error);
}

std::optional<StatusText> LinkReceiver::commEvent(int code)
{
    const auto s = statusForCode(code);
    if (s)
        emit statusChanged(s->heading, s->message);
    return s;
}

} // namespace intake
