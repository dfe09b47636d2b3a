#pragma once
// The receive buffer: everything received since the end of the last record,
// with every line end made CR LF. Records come out of it whole, one per
// end-of-text byte, in arrival order.
#include <QByteArray>
#include <optional>

namespace intake {

inline constexpr char kEndOfText = '\x03';

class ReceiveBuffer
{
public:
    // Appends a chunk as it came off the line. A CR not followed by LF gets
    // an LF; an LF that opens a chunk right after a chunk ending in CR is the
    // second half of that line end and is dropped, so the same bytes give the
    // same buffer however they were cut. Returns true when the chunk held an
    // end-of-text byte.
    bool append(const QByteArray &chunk);

    // The text of the first complete record (up to, not including, its
    // end-of-text byte), removed from the buffer together with that byte.
    std::optional<QByteArray> takeRecord();

    bool hasRecord() const { return m_buf.indexOf(kEndOfText) >= 0; }

    // A line that never sends an end-of-text byte (a wrong device, a cable
    // picking up noise) must not grow the buffer without end. No record is
    // anywhere near this size, so text beyond it without an end-of-text byte
    // cannot belong to a record; only its most recent lines are kept.
    static constexpr qsizetype kMaxPending = 1024 * 1024;
    static constexpr qsizetype kKeptWhenTrimmed = 64 * 1024;
    const QByteArray &text() const { return m_buf; }
    void clear();

private:
    QByteArray m_buf;
    bool m_endedWithCr = false;
};

} // namespace intake
