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
#include <list>
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
    explicit LinkReceiver(QObject *parent = nullptr, qsizetype maxPending = ReceiveBuffer::kMaxPending,
                          qsizetype keptWhenTrimmed = ReceiveBuffer::kKeptWhenTrimmed);

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
    // record), and the set-aside text no folder took yet; a timer does both
    // every kRetryIntervalMs while anything waits.
    ReceiveResult retryWaiting();
    int waitingCount() const { return int(m_waiting.size()); }
    // Pieces of set-aside text that wait for a folder to take them.
    int unwrittenCount() const;
    // The waiting records and the set-aside text no file holds yet, as
    // received, in the order they came; only what came after the point
    // `after` (see arrivalPoint) when given.
    QByteArray unsavedBytes(qint64 after = -1) const;
    qint64 arrivalPoint() const { return m_order; }
    // Writes them to a new unsaved file (link/unsavedfile.h) and returns its
    // path (empty when nothing waits or on failure, with the reason in
    // *error). They stay where they wait.
    QString writeUnsavedBytes(QString *error = nullptr);
    // What waits has been put in a file of its own (or given up by the
    // user at exit): the program lets go of it.
    void forgetUnsaved();

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
        qint64 order = 0; // arrival order among everything that may wait
    };
    // Received text set aside: its file, and what of it no file holds yet.
    // An open one is still growing (text that goes on past the buffer's
    // limit, or that follows a stored record without a number of its own).
    struct Aside
    {
        qint64 order = 0;
        QString path;       // empty until a folder took it
        QByteArray pending; // not yet in the file
        QString lead, with; // the notice: lead + "已" + with + "另存到文件…"
        bool open = false;
        bool failing = false; // told that no folder takes it; the timer retries
        QString error;
    };
    // The last stored record's own bytes, and the text after it that held
    // no record line: they go with text that may be that record's rest.
    struct Stored
    {
        QString shelfid;
        QByteArray bytes;
        qint64 order = 0;
    };
    enum class SetAsideKind { Incomplete, Ambiguous, Unnumbered, TooLong };
    void setLamp(const QColor &c);
    QSqlDatabase database() const;
    void showStatus(ReceiveResult *result, const QString &heading, const QString &message);
    void storeWaiting(ReceiveResult *result);
    // Received text that no stored record took: it continues the text being
    // set aside, goes with the record it may belong to, is set aside on its
    // own, or, when it holds no record line (anyText: nothing but blanks and
    // control bytes), is noise.
    void takeText(ReceiveResult *result, const QByteArray &bytes, SetAsideKind kind, qint64 order, bool anyText);
    void setAside(ReceiveResult *result, const QByteArray &raw, const QStringList &numbers, SetAsideKind kind,
                  const QString &after, qint64 order, bool open);
    void openAfterStored(ReceiveResult *result, const QByteArray &bytes);
    void appendToRun(ReceiveResult *result, const QByteArray &bytes);
    void closeRun();
    void flush(ReceiveResult *result, Aside &aside);
    void flushAsides(ReceiveResult *result);
    // The status text of what waits (stored: records were just tried), and
    // the retry timer.
    void finish(ReceiveResult *result, bool stored);
    void giveNotice(ReceiveResult *result, const QString &text, const QString &file);
    // Whether text holds a line a record could be made of; without the
    // catalogue, any text that is more than blanks and control bytes.
    bool holdsRecordLines(const QByteArray &text, QStringList *numbers, int *total = nullptr,
                          int *beforeNumber = nullptr) const;
    void setAsideTrimmed(ReceiveResult *result);
    void noteLastNumber(const QStringList &numbers);

    ReceiveBuffer m_buffer;
    std::deque<Waiting> m_waiting;
    std::list<Aside> m_asides;
    Aside *m_run = nullptr; // the open one, if any
    std::optional<Stored> m_lastStored;
    qint64 m_order = 0;
    QString m_waitReason;   // the database's text for the oldest waiting record
    bool m_refusing = false; // a failure has been announced and not yet cleared
    bool m_recordsDone = false; // the waiting records have just all been stored
    int m_asidesShown = 0; // pieces of set-aside text the status last told of as waiting
    QTimer m_retry;
    QColor m_lamp;
    QSqlDatabase m_db;
    bool m_haveDb = false;
    QVector<ItemDef> m_items; // the catalogue as last read
    bool m_haveItems = false;
    QString m_lastNumber; // the last sample number received, for naming text without one
};

} // namespace intake
