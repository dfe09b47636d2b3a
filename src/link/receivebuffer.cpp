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
    m_raw.append(chunk);
    const bool eot = chunk.contains(kEndOfText);
    if (!eot && m_raw.size() > kMaxPending && !m_raw.contains(kEndOfText)) {
        // Keep whole lines: cut just after a line end.
        qsizetype cut = m_raw.size() - kKeptWhenTrimmed;
        qsizetype lineEnd = cut;
        while (lineEnd < m_raw.size() && m_raw.at(lineEnd) != '\r' && m_raw.at(lineEnd) != '\n')
            ++lineEnd;
        while (lineEnd < m_raw.size() && (m_raw.at(lineEnd) == '\r' || m_raw.at(lineEnd) == '\n'))
            ++lineEnd;
        m_raw.remove(0, lineEnd < m_raw.size() ? lineEnd : cut);
    }
    return eot;
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
    m_raw.remove(0, p + 1);
    return r;
}

QByteArray ReceiveBuffer::takePending()
{
    QByteArray out;
    out.swap(m_raw);
    return out;
}

} // namespace intake
