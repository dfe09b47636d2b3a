#include "pdftools.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <stdexcept>

namespace pdftools {

namespace {

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error((program + QLatin1Char(' ') + args.join(QLatin1Char(' ')) + QStringLiteral(" failed: ")
                                  + QString::fromUtf8(p.readAllStandardError())).toStdString());
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The options that pick one page.
QStringList pageArgs(int page)
{
    return {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"), QString::number(page)};
}

} // namespace

int pageCount(const QString &pdf)
{
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(run(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QSizeF pageSizePt(const QString &pdf, int page)
{
    const QString info = run(QStringLiteral("pdfinfo"), pageArgs(page) << pdf);
    const auto m = QRegularExpression(QStringLiteral("Page\\s+%1 size:\\s+([\\d.]+) x ([\\d.]+) pts").arg(page)).match(info);
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

QString compactText(const QString &pdf)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")})
        .remove(QRegularExpression(QStringLiteral("\\s")));
}

int count(const QString &haystack, const QString &needle)
{
    const QString n = QString(needle).remove(QRegularExpression(QStringLiteral("\\s")));
    return n.isEmpty() ? 0 : int(haystack.count(n));
}

std::vector<Word> words(const QString &pdf, int page)
{
    const QString html = run(QStringLiteral("pdftotext"), QStringList{QStringLiteral("-bbox")} << pageArgs(page)
                                                              << QStringLiteral("-enc") << QStringLiteral("UTF-8") << pdf
                                                              << QStringLiteral("-"));
    static const QRegularExpression re(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    std::vector<Word> out;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        auto mm = [&](int i) { return m.captured(i).toDouble() / ptPerMm; };
        QString text = m.captured(5).replace(QStringLiteral("&lt;"), QStringLiteral("<")).replace(QStringLiteral("&gt;"), QStringLiteral(">"));
        out.push_back({text.replace(QStringLiteral("&amp;"), QStringLiteral("&")), QRectF(QPointF(mm(1), mm(2)), QPointF(mm(3), mm(4)))});
    }
    return out;
}

QPointF at(const std::vector<Word> &ws, const QString &text)
{
    for (const auto &w : ws)
        if (w.text == text)
            return w.mm.topLeft();
    return {qQNaN(), qQNaN()};
}

void savePage(const QString &pdf, const QString &name)
{
    pageImage(pdf, 1, 96, outputDir() + QLatin1Char('/') + name);
}

QImage pageImage(const QString &pdf, int page, int dpi, const QString &saveAs)
{
    QTemporaryDir tmp;
    const QString base = tmp.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"), QStringList{QStringLiteral("-r"), QString::number(dpi)} << pageArgs(page)
                                        << QStringLiteral("-singlefile") << QStringLiteral("-png") << pdf << base);
    const QImage img(base + QStringLiteral(".png"));
    if (!saveAs.isEmpty())
        img.save(saveAs + QStringLiteral(".png"));
    return img.convertToFormat(QImage::Format_RGB32);
}

QString outputDir()
{
    const QString dir = qEnvironmentVariable("VORLAN_TEST_OUT", QDir::tempPath()) + QStringLiteral("/reports");
    QDir().mkpath(dir);
    return dir;
}

} // namespace pdftools
