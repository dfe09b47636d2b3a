#pragma once
// The receive buffer: everything received since the end of the last record,
// kept exactly as it came off the line. Records come out of it whole, one per
// end-of-text byte, in arrival order, both as received and with every line
// end made CR LF for the parser.
#include <QByteArray>
#include <algorithm>
#include <optional>
#include <utility>

namespace intake {

inline constexpr char kStartOfText = '\x02';
inline constexpr char kEndOfText = '\x03';

// A CR not followed by LF gets an LF; a CR LF stays as it is.
QByteArray normalizeLineEnds(const QByteArray &raw);

struct TakenRecord
{
    QByteArray raw;  // as received, from just after the previous record's end up to and including its 0x03
    QByteArray text; // the record's own text (after its last 0x02, before its 0x03), line ends CR LF
    qsizetype textStart = 0; // where that text begins in raw; what precedes it is not the record's
};

class ReceiveBuffer
{
public:
    // maxPending: the most text after the last end-of-text byte that is kept
    // (see kMaxPending); keptWhenTrimmed: how much of it stays once exceeded.
    explicit ReceiveBuffer(qsizetype maxPending = kMaxPending, qsizetype keptWhenTrimmed = kKeptWhenTrimmed)
        : m_maxPending(maxPending), m_kept(std::min(keptWhenTrimmed, maxPending))
    {
    }

    // Appends a chunk as it came off the line. Returns true when the chunk
    // held an end-of-text byte.
    bool append(const QByteArray &chunk);

    // The first complete record, removed from the buffer together with its
    // end-of-text byte. Where the analyser starts records with 0x02, a record
    // begins after the last 0x02 before its 0x03 and what precedes it is noise.
    std::optional<TakenRecord> takeRecord();

    // Ends the record in progress (the line hung up, the port was closed):
    // returns what was pending, as received, and empties the buffer, so that
    // nothing received later is ever joined to it.
    QByteArray takePending();

    bool hasRecord() const { return m_raw.indexOf(kEndOfText) >= 0; }

    // A line that never sends an end-of-text byte (a wrong device, a cable
    // picking up noise) must not grow the buffer without end. No record is
    // anywhere near this size, so text beyond it without an end-of-text byte
    // cannot belong to a record; only its most recent lines are kept. This
    // holds however large a chunk is, also one that ends records before it.
    // What is cut off waits in takeTrimmed() for whoever keeps such text.
    static constexpr qsizetype kMaxPending = 1024 * 1024;
    static constexpr qsizetype kKeptWhenTrimmed = 64 * 1024;

    // The pending text as the parser would see it (line ends CR LF).
    QByteArray text() const { return normalizeLineEnds(m_raw); }
    const QByteArray &raw() const { return m_raw; }
    void clear() { m_raw.clear(); m_tail = 0; m_trimmed.clear(); m_cutOpen = false; }
    // The text cut off to keep the buffer bounded since the last call.
    // *continues: it goes on from text cut off before, with no end-of-text
    // byte between (the same overlong text, cut again).
    QByteArray takeTrimmed(bool *continues = nullptr)
    {
        if (continues)
            *continues = m_trimmedContinues;
        return std::exchange(m_trimmed, QByteArray());
    }
    qsizetype maxPending() const { return m_maxPending; }

private:
    QByteArray m_raw;
    QByteArray m_trimmed;
    bool m_trimmedContinues = false;
    bool m_cutOpen = false; // text has been cut since the last end-of-text byte
    qsizetype m_tail = 0; // where the text after the last end-of-text byte begins
    qsizetype m_maxPending;
    qsizetype m_kept;
};

} // namespace intake
