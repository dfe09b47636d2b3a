#include "pdftools.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <stdexcept>

namespace pdftools {

namespace {

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error((program + ' ' + args.join(' ') + " failed: " + p.readAllStandardError()).toStdString());
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The options that pick one page.
QStringList pageArgs(int page) { return {"-f", QString::number(page), "-l", QString::number(page)}; }

} // namespace

QSizeF pageSizePt(const QString &pdf, int page)
{
    const auto m = QRegularExpression(QString("Page\\s+%1 size:\\s+([\\d.]+) x ([\\d.]+) pts").arg(page))
                       .match(run("pdfinfo", pageArgs(page) << pdf));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

QString compactText(const QString &pdf)
{
    return run("pdftotext", {"-raw", "-enc", "UTF-8", pdf, "-"}).remove(QRegularExpression("\\s"));
}

int count(const QString &haystack, const QString &needle)
{
    const QString n = QString(needle).remove(QRegularExpression("\\s"));
    return n.isEmpty() ? 0 : int(haystack.count(n));
}

std::vector<Word> words(const QString &pdf, int page)
{
    const QString html = run("pdftotext", QStringList{"-bbox"} << pageArgs(page) << "-enc" << "UTF-8" << pdf << "-");
    static const QRegularExpression re(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>");
    std::vector<Word> out;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        auto mm = [&](int i) { return m.captured(i).toDouble() / ptPerMm; };
        QString text = m.captured(5).replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&");
        out.push_back({text, QRectF(QPointF(mm(1), mm(2)), QPointF(mm(3), mm(4)))});
    }
    return out;
}

QPointF at(const std::vector<Word> &ws, const QString &text)
{
    const auto w = std::find_if(ws.begin(), ws.end(), [&](const Word &w) { return w.text == text; });
    return w == ws.end() ? QPointF(qQNaN(), qQNaN()) : w->mm.topLeft();
}

void savePage(const QString &pdf, const QString &name) { pageImage(pdf, 1, 96, outputDir() + '/' + name); }

QImage pageImage(const QString &pdf, int page, int dpi, const QString &saveAs)
{
    QTemporaryDir tmp;
    const QString base = tmp.filePath("page");
    run("pdftoppm", QStringList{"-r", QString::number(dpi)} << pageArgs(page) << "-singlefile" << "-png" << pdf << base);
    const QImage img(base + ".png");
    if (!saveAs.isEmpty())
        img.save(saveAs + ".png");
    return img.convertToFormat(QImage::Format_RGB32);
}

QString outputDir()
{
    const QString dir = qEnvironmentVariable("VORLAN_TEST_OUT", QDir::tempPath()) + "/reports";
    QDir().mkpath(dir);
    return dir;
}

} // namespace pdftools
