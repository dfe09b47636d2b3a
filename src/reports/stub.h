#pragma once
// The stub list: the day's samples with their results as fixed-width text
// (columns counted in GBK bytes, a Chinese character taking two), with its
// own page headers and page ends, written to a work file and printed as
// plain lines.
#include <QByteArray>
#include <QDate>
#include <QList>
#include <QPageSize>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace db {
class Dataset;
}

namespace reports {

// GBK bytes of a text (characters GBK lacks become '?'), and back.
QByteArray toGbk(const QString &s);
QString fromGbk(const QByteArray &b);

// Blanks and control bytes (up to 0x20) off both ends.
QByteArray trimBytes(const QByteArray &b);
// The first n bytes; a Chinese character cut in half leaves a blank in
// place of its first byte, so the text stays valid GBK.
QByteArray firstBytes(const QByteArray &b, int n);

struct StubResult
{
    QString abbreviation, value;
};

struct StubSample
{
    QString shelfid, name, depart, age;
    std::vector<StubResult> results;
};

// Every row of a sample list with its results in item order; false with
// the database's text when a query fails.
bool stubSamples(db::Dataset &list, std::vector<StubSample> *out, QString *error);

// The four sample columns of a sample's first line.
QByteArray stubSampleParts(const StubSample &s);
// One result column (15 wide when nothing is cut).
QByteArray stubResultPart(const StubResult &r);
// The 4 header lines of a page.
QList<QByteArray> stubHeader(const QDate &today);

// Every line of the list, as stored in the work file.
QList<QByteArray> stubLines(const std::vector<StubSample> &samples, const QDate &today);
// The lines joined for the work file (CR LF after each line).
QByteArray stubFileText(const QList<QByteArray> &lines);

// The range box's text: lo and hi when it holds a "-", nothing otherwise.
std::optional<std::pair<int, int>> stubRange(const QString &text);
// The leading whole number of a text (optional sign, digits); 0 when none.
int leadingNumber(const QString &text);

// Sheets of the printed list: a sheet ends after each page end of the list
// (its 7 blank lines), and also wherever the paper holds no more lines.
std::vector<QStringList> stubSheets(const QStringList &lines, int linesPerSheet);

// Prints lines of fixed-width text as one job: each character stands at its
// column (a Chinese character takes two), 14 px type, 15 px lines, on the
// printer's current paper; the type and lines shrink as one when the widest
// line would pass the paper's right margin. Throws report::ReportError when
// the printer refuses the job.
struct TextPrintSetup
{
    int printerIndex = -1;
    QPageSize pageSize = QPageSize(QPageSize::A4);
    QString title;
};
void printTextLines(const QStringList &lines, const TextPrintSetup &setup);
// How much the text print shrinks the lines on a paper (1: not at all).
double textScale(const QStringList &lines, const QPageSize &page);
// Lines that fit one sheet of a paper with the text print's margins, at a
// text scale.
int linesPerSheet(const QPageSize &page, double scale = 1);

} // namespace reports
