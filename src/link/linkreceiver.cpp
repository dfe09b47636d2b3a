#include "link/linkreceiver.h"

#include "base/database.h"
#include "link/resultstore.h"
#include "link/unsavedfile.h"
#include "platform/db/connection.h"

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

QString numberList(const QStringList &numbers)
{
    return numbers.join(QStringLiteral("、"));
}

} // namespace

void LinkReceiver::setAside(ReceiveResult *result, const QByteArray &raw, const QStringList &numbers,
                            bool incomplete)
{
    QString error;
    const QString path = writeUnsaved(database().databaseName(), raw, &error);
    if (!path.isEmpty())
        result->setAside.append(path);
    result->setAsideNumbers += numbers;
    const QString what = numbers.isEmpty()
        ? (incomplete ? QStringLiteral("一段不完整的数据（线路中断）")
                      : QStringLiteral("一段无法确定属于哪个标本的数据"))
        : QStringLiteral("标本号%1的数据").arg(numberList(numbers))
            + (incomplete ? QStringLiteral("不完整（线路中断），") : QStringLiteral("无法确定属于哪个标本，"));
    const QString where = path.isEmpty() ? QStringLiteral("另存文件失败：") + error
                                         : QStringLiteral("已另存到文件") + unsavedFileShownName(database().databaseName(), path);
    showStatus(result, QStringLiteral("错误:"), what + QStringLiteral("未保存，") + where);
}

void LinkReceiver::storeWaiting(ReceiveResult *result)
{
    const bool hadWaiting = !m_waiting.empty() && m_refusing;
    while (!m_waiting.empty()) {
        const Waiting &w = m_waiting.front();
        const SaveOutcome out = DataSavetoTB(database(), w.text, w.workDate);
        if (out.failed) {
            m_waitReason = out.error;
            break;
        }
        const Waiting done = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (out.ambiguous) {
            setAside(result, done.raw, out.numbers, false);
            continue;
        }
        if (!out.stored)
            continue;
        result->stored.append(out.shelfid);
        emit recordStored(out.shelfid);
        if (out.malformed) {
            result->malformed.append(out.shelfid);
            emit malformedNumber(out.shelfid);
        }
        for (const QString &item : out.unconverted)
            showStatus(result, QStringLiteral("错误:"),
                       QStringLiteral("标本号%1的项目%2未能换算，已按原值保存").arg(out.shelfid, item));
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
            m_waiting.push_back({std::move(record->raw), std::move(record->text), workDate});
        }
        storeWaiting(&result);
        emit recordsEnded();
    }
    result.lamp = m_lamp;
    return result;
}

ReceiveResult LinkReceiver::lineBroken()
{
    ReceiveResult result;
    const QByteArray pending = m_buffer.takePending();
    const bool meaningful = std::any_of(pending.cbegin(), pending.cend(), [](char c) { return uchar(c) > 0x20; });
    if (meaningful) {
        QStringList numbers;
        isAmbiguousRecord(normalizeLineEnds(pending), {}, &numbers);
        setAside(&result, pending, numbers, true);
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
