#pragma once
// Reading printed PDFs back with poppler's tools, for checks and for people
// to look at.
#include <QImage>
#include <QRectF>
#include <QString>
#include <vector>

namespace pdftools {

// Page size in points of one page (1-based); throws when the page is not there.
QSizeF pageSizePt(const QString &pdf, int page = 1);
// pdftotext -raw without any blanks or line breaks, for counting captions.
QString compactText(const QString &pdf);
int count(const QString &haystack, const QString &needle);

struct Word
{
    QString text;
    QRectF mm;   // page millimetres
};
std::vector<Word> words(const QString &pdf, int page = 1);
// Top-left (mm) of the first word that is exactly the text; NaN when none,
// so that any position check on it fails.
QPointF at(const std::vector<Word> &words, const QString &text);

// One page rendered by pdftoppm, also saved as <saveAs>.png when given.
QImage pageImage(const QString &pdf, int page = 1, int dpi = 96, const QString &saveAs = {});
// The first page saved as <outputDir>/<name>.png for people to look at.
void savePage(const QString &pdf, const QString &name);
// Where pictures and PDFs for people go: $VORLAN_TEST_OUT, else /tmp.
QString outputDir();

constexpr double ptPerMm = 72.0 / 25.4;

} // namespace pdftools
