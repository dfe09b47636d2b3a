#pragma once
// What the main window's serial handler does with each notification: the
// receive buffer, storing every completed record, the lamp and the status
// texts. No window here: the handler applies the results to its widgets.
#include "link/receivebuffer.h"
#include "link/resultrecord.h"

#include <QColor>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <optional>

namespace intake {

struct StatusText
{
    QString heading; // status bar panel 0: "状态:" or "错误:"
    QString message; // panel 1
    bool operator==(const StatusText &o) const { return heading == o.heading && message == o.message; }
};

// Lamp colours: at rest / record complete, and while a record is arriving.
QColor lampIdleColor();
QColor lampReceivingColor();

// The status texts of a notification code; nullopt for 1 and 2, which leave
// the status bar alone.
std::optional<StatusText> statusForCode(int code);

// The status texts when the serial port cannot be opened (it is tried
// again every few seconds), and once it has opened.
StatusText statusForOpenFailure(const QString &reason);
StatusText statusForDeviceOpened(const QString &port);

// The texts of a notice that may be sample numbers (no longer than the
// shelfid column, printable), each once, in order: at most kNoticeNumbers,
// then "等N个" with the count of all of them; empty when none can be.
QString noticeNumbers(const QStringList &numbers);
inline constexpr int kNoticeNumbers = 3;

struct ReceiveResult
{
    int records = 0;            // records ended by a 0x03 in this chunk
    QStringList stored;         // sample numbers stored now (waiting ones included), in order
    QStringList malformed;      // numbers to list for correction, in order
    QStringList setAside;       // files written with records that were not stored
    QStringList setAsideNumbers; // the sample numbers those records held
    QStringList notices;        // notices given (see LinkReceiver::notice), in order
    std::optional<StatusText> status; // the last status text shown
    QColor lamp;                // lamp colour after the chunk
};

class LinkReceiver : public QObject
{
    Q_OBJECT
public:
    explicit LinkReceiver(QObject *parent = nullptr);

    // The connection records are stored on (default: the program's).
    void setDatabase(const QSqlDatabase &db) { m_db = db; m_haveDb = true; }

    // Characters received (notification 2): appended to the buffer; every
    // record completed by them is stored under workDate, in order. A record
    // the database refuses waits, and so does every record after it.
    ReceiveResult receive(const QByteArray &chunk, const QString &workDate);

    // The line hung up, or the port was closed or reopened: the record in
    // progress ends here and is set aside as incomplete.
    ReceiveResult lineBroken();

    // Tries the waiting records again, oldest first (also done on every new
    // record and by a timer every kRetryIntervalMs while any wait).
    ReceiveResult retryWaiting();
    int waitingCount() const { return int(m_waiting.size()); }
    // The waiting records from the first-th on (oldest is 0), as received.
    QByteArray waitingBytes(int first = 0) const;
    // Writes them to a new unsaved file (link/unsavedfile.h) and returns its
    // path (empty when none wait or on failure, with the reason in *error).
    // They stay in the list.
    QString writeWaiting(QString *error = nullptr, int first = 0);

    static constexpr int kRetryIntervalMs = 3000;

    // Any other notification: the status texts to show (nullopt for 1 and 2).
    std::optional<StatusText> commEvent(int code);

    const ReceiveBuffer &buffer() const { return m_buffer; }
    QColor lamp() const { return m_lamp; }

signals:
    void lampChanged(const QColor &color);
    void statusChanged(const QString &heading, const QString &message);
    void malformedNumber(const QString &shelfid);
    void recordStored(const QString &shelfid);
    // The database began refusing records: shown once, not once per record.
    void storeFailed(const QString &message);
    // One or more records ended: the graphs should be redrawn.
    void recordsEnded();
    // Received text set aside in a file, or values kept unconverted: told
    // apart from the line's state, which comes and goes with the port. file
    // is the file as the text names it (empty when none was written).
    void notice(const QString &text, const QString &file);

private:
    struct Waiting
    {
        QByteArray raw;  // as received
        QByteArray text; // for the parser
        qsizetype textStart = 0; // where the record's own text begins in raw
        QString workDate;
    };
    enum class SetAsideKind { Incomplete, Ambiguous, Unnumbered };
    void setLamp(const QColor &c);
    QSqlDatabase database() const;
    void showStatus(ReceiveResult *result, const QString &heading, const QString &message);
    void storeWaiting(ReceiveResult *result);
    void setAside(ReceiveResult *result, const QByteArray &raw, const QStringList &numbers, SetAsideKind kind,
                  const QString &after);
    void giveNotice(ReceiveResult *result, const QString &text, const QString &file);
    // Whether text holds a line a record could be made of; without the
    // catalogue, any text that is more than blanks and control bytes.
    bool holdsRecordLines(const QByteArray &text, QStringList *numbers) const;
    void setAsideTrimmed(ReceiveResult *result);
    void noteLastNumber(const QStringList &numbers);

    ReceiveBuffer m_buffer;
    std::deque<Waiting> m_waiting;
    QString m_waitReason;   // the database's text for the oldest waiting record
    bool m_refusing = false; // a failure has been announced and not yet cleared
    QTimer m_retry;
    QColor m_lamp;
    QSqlDatabase m_db;
    bool m_haveDb = false;
    QVector<ItemDef> m_items; // the catalogue as last read
    bool m_haveItems = false;
    QString m_lastNumber; // the last sample number received, for naming text without one
};

} // namespace intake
