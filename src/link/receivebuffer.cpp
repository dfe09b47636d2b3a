#include "link/receivebuffer.h"

namespace intake {

bool ReceiveBuffer::append(const QByteArray &chunk)
{
    if (chunk.isEmpty())
        return false;
    qsizetype i = 0;
    if (m_endedWithCr && chunk.at(0) == '\n')
        i = 1; // the LF we already supplied
    m_buf.reserve(m_buf.size() + chunk.size() + 16);
    bool eot = false;
    const qsizetype n = chunk.size();
    for (; i < n; ++i) {
        const char c = chunk.at(i);
        m_buf.append(c);
        if (c == '\r' && (i + 1 >= n || chunk.at(i + 1) != '\n'))
            m_buf.append('\n');
        else if (c == kEndOfText)
            eot = true;
    }
    m_endedWithCr = chunk.at(n - 1) == '\r';
    if (!eot && m_buf.size() > kMaxPending && m_buf.indexOf(kEndOfText) < 0) {
        // Keep whole lines: cut just after a line end.
        qsizetype cut = m_buf.size() - kKeptWhenTrimmed;
        const qsizetype lineEnd = m_buf.indexOf("\r\n", cut);
        cut = lineEnd >= 0 ? lineEnd + 2 : cut;
        m_buf.remove(0, cut);
    }
    return eot;
}

std::optional<QByteArray> ReceiveBuffer::takeRecord()
{
    const qsizetype p = m_buf.indexOf(kEndOfText);
    if (p < 0)
        return std::nullopt;
    QByteArray record = m_buf.left(p);
    m_buf.remove(0, p + 1);
    return record;
}

void ReceiveBuffer::clear()
{
    m_buf.clear();
    m_endedWithCr = false;
}

} // namespace intake
