#include "link/receivebuffer.h"

namespace intake {

QByteArray normalizeLineEnds(const QByteArray &raw)
{
    QByteArray out;
    out.reserve(raw.size() + raw.size() / 16 + 2);
    const qsizetype n = raw.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = raw.at(i);
        out.append(c);
        if (c == '\r' && (i + 1 >= n || raw.at(i + 1) != '\n'))
            out.append('\n');
    }
    return out;
}

bool ReceiveBuffer::append(const QByteArray &chunk)
{
    if (chunk.isEmpty())
        return false;
    const qsizetype lastEnd = chunk.lastIndexOf(kEndOfText);
    if (lastEnd >= 0) {
        m_tail = m_raw.size() + lastEnd + 1;
        m_cutOpen = false;
    }
    m_raw.append(chunk);
    if (m_raw.size() - m_tail > m_maxPending) {
        // Keep whole lines: cut just after a line end.
        const qsizetype cut = m_raw.size() - m_kept;
        qsizetype lineEnd = cut;
        while (lineEnd < m_raw.size() && m_raw.at(lineEnd) != '\r' && m_raw.at(lineEnd) != '\n')
            ++lineEnd;
        while (lineEnd < m_raw.size() && (m_raw.at(lineEnd) == '\r' || m_raw.at(lineEnd) == '\n'))
            ++lineEnd;
        const qsizetype n = (lineEnd < m_raw.size() ? lineEnd : cut) - m_tail;
        if (m_trimmed.isEmpty())
            m_trimmedContinues = m_cutOpen;
        m_cutOpen = true;
        m_trimmed.append(m_raw.constData() + m_tail, n);
        m_raw.remove(m_tail, n);
    }
    return lastEnd >= 0;
}

std::optional<TakenRecord> ReceiveBuffer::takeRecord()
{
    const qsizetype p = m_raw.indexOf(kEndOfText);
    if (p < 0)
        return std::nullopt;
    const qsizetype start = p > 0 ? m_raw.lastIndexOf(kStartOfText, p - 1) + 1 : 0;
    TakenRecord r;
    r.raw = m_raw.left(p + 1);
    r.text = normalizeLineEnds(m_raw.mid(start, p - start));
    r.textStart = start;
    m_raw.remove(0, p + 1);
    m_tail = std::max<qsizetype>(0, m_tail - (p + 1));
    return r;
}

QByteArray ReceiveBuffer::takePending()
{
    QByteArray out;
    out.swap(m_raw);
    m_tail = 0;
    m_cutOpen = false;
    return out;
}

} // namespace intake
