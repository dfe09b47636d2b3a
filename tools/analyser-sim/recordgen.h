#pragma once
// Analyser records for tests, demonstrations and the simulator: the sample
// number line, one value line per measured item, the histograms, the two
// scatter matrices and the threshold lists, ended by 0x03.
#include <QByteArray>
#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QVector>
#include <random>

namespace sim {

// What the generator needs of an item of the catalogue.
struct SimItem
{
    QByteArray mark;   // one character
    double low = 0;    // reference range, for values in and out of range
    double high = 100;
    int decimals = 1;
};

// The measured items of a catalogue (rows with a mark), in itemid order.
bool loadSimItems(QSqlDatabase db, QVector<SimItem> *items, QString *error = nullptr);

enum class Fault {
    None,
    NoSampleNumber,     // no "u" line at all
    BlankSampleNumber,  // "u" line holding only blanks
    OddSampleNumber,    // A12, 1.5, 12 3, 2147483648, 1%, O'Brien, ... (stored, listed)
    LongSampleNumber,   // more than ten characters
    UnendedNumberLine,  // the "u" line is the last, with no CR before 0x03
    ShortValueLines,    // some value lines shorter than five characters
    EmptyValueLines,    // mark and separator, then the line end
    MissingItems,       // some item lines left out
    MissingGraphLines,  // some graph lines left out
    Unterminated,       // never ended by 0x03
    CutShort,           // only its first bytes are sent (a pulled cable), no 0x03
    // Stray control bytes inside a record (never chosen by randomFault):
    StrayEndOfText,     // a 0x03 before one of its item lines
    StrayStartOfText,   // a 0x02 right after its sample-number line
};

struct GeneratedRecord
{
    QByteArray bytes;               // as sent on the wire
    QString sampleNumber;           // as put on the "u" line (before trimming)
    Fault fault = Fault::None;
    QMap<QByteArray, QByteArray> values; // mark -> the value text sent
    QVector<QByteArray> graph;      // a1..a12 as sent ("" when left out)
};

struct GenOptions
{
    bool crlf = false;          // CR LF line ends instead of CR
    bool headerLine = true;     // a line without a used mark before the "u" line
    double outOfRange = 0.2;    // share of values outside the reference range
    double flagged = 0.05;      // share of values sent as flags ("12.3H", "---.-")
};

class RecordGenerator
{
public:
    RecordGenerator(QVector<SimItem> items, quint64 seed, GenOptions options = {});

    GeneratedRecord record(const QString &sampleNumber, Fault fault = Fault::None);
    // Line noise between records, ended by a line end: stray bytes (CR, LF
    // and 0x03 among them, never a line starting "u "), or lines that look
    // like record lines: an item or graph line whose data starts with "N",
    // or a sample-number line of 70 characters. A 0x03 in noise is never
    // preceded by a sample-number line of the noise.
    QByteArray noise();
    // A fault chosen at random (never None).
    Fault randomFault();
    // A sample number of the odd kinds (not a whole number).
    QString oddNumber();

    std::mt19937_64 &rng() { return m_rng; }

private:
    QByteArray value(const SimItem &item);
    QByteArray histogram(int channels, int peak, int scale);
    QByteArray matrix();
    QByteArray thresholds(int count, int lo, int hi);
    QByteArray eol() const { return m_opt.crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\r"); }
    double uniform(double a, double b);
    int range(int a, int b);

    QVector<SimItem> m_items;
    char m_headerMark = '@';
    std::mt19937_64 m_rng;
    GenOptions m_opt;
};

// A stream of records with noise and faults mixed in, for the property test
// and the simulator.
struct StreamOptions
{
    int count = 100;
    int firstNumber = 1;
    double noiseRate = 0.1;
    double faultRate = 0.1;
    // Share of records cut short and followed by a hang-up (offsets into the
    // stream in *hangups); without hangups a cut record is simply unended.
    double hangupRate = 0;
    // Share of records given a stray 0x02 or 0x03 or sent without their
    // sample-number line (on top of faultRate).
    double strayRate = 0;
};
QVector<GeneratedRecord> generateStream(RecordGenerator &gen, const StreamOptions &opt,
                                        QByteArray *stream, QVector<qsizetype> *hangups = nullptr);

// Cuts bytes into chunks of random sizes between minSize and maxSize.
QVector<QByteArray> cutIntoChunks(const QByteArray &bytes, std::mt19937_64 &rng, int minSize, int maxSize);

} // namespace sim
