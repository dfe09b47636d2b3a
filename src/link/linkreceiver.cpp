#include "link/linkreceiver.h"

#include "link/resultstore.h"
#include "platform/db/connection.h"

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
    return StatusText{QStringLiteral("错误:"), reason};
}

LinkReceiver::LinkReceiver(QObject *parent)
    : QObject(parent), m_lamp(lampIdleColor())
{
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

ReceiveResult LinkReceiver::receive(const QByteArray &chunk, const QString &workDate)
{
    ReceiveResult result;
    setLamp(lampReceivingColor());
    if (m_buffer.append(chunk)) {
        setLamp(lampIdleColor());
        // Every record the chunk completed, in order; a record that cannot
        // be stored is dropped so that the ones after it still are.
        while (auto record = m_buffer.takeRecord()) {
            ++result.records;
            const SaveOutcome out = DataSavetoTB(database(), *record, workDate);
            if (out.failed) {
                const QString who = out.shelfid.isEmpty()
                    ? QString()
                    : QStringLiteral("标本号%1的结果未能保存：").arg(out.shelfid);
                result.status = StatusText{QStringLiteral("错误:"), who + out.error};
                emit statusChanged(result.status->heading, result.status->message);
                continue;
            }
            if (!out.stored)
                continue;
            result.stored.append(out.shelfid);
            emit recordStored(out.shelfid);
            if (out.malformed) {
                result.malformed.append(out.shelfid);
                emit malformedNumber(out.shelfid);
            }
        }
        emit recordsEnded();
    }
    result.lamp = m_lamp;
    return result;
}

std::optional<StatusText> LinkReceiver::commEvent(int code)
{
    const auto s = statusForCode(code);
    if (s)
        emit statusChanged(s->heading, s->message);
    return s;
}

} // namespace intake
