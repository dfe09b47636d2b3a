#include "platform/widgets/inputmethods.h"

#include <QProcess>
#include <QStandardPaths>

namespace {
QString &ibusOverride()
{
    static QString path;
    return path;
}

QString ibusProgram()
{
    if (!ibusOverride().isEmpty())
        return ibusOverride();
    return QStandardPaths::findExecutable(QStringLiteral("ibus"));
}

constexpr int kListTimeoutMs = 2000;
} // namespace

void setIbusProgram(const QString &path)
{
    ibusOverride() = path;
}

QStringList parseIbusEngineList(const QString &output)
{
    QStringList names;
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        // Headings ("language: Chinese") start at the margin; engines are indented.
        if (line.isEmpty() || !line.at(0).isSpace())
            continue;
        const QString t = line.trimmed();
        if (t.isEmpty())
            continue;
        const int sep = t.indexOf(QStringLiteral(" - "));
        const QString name = (sep >= 0 ? t.left(sep) : t.section(QLatin1Char(' '), 0, 0)).trimmed();
        if (!name.isEmpty() && !names.contains(name))
            names.append(name);
    }
    return names;
}

QStringList installedInputMethods()
{
    const QString prog = ibusProgram();
    if (prog.isEmpty())
        return {};
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(prog, {QStringLiteral("list-engine")}, QIODevice::ReadOnly);
    if (!p.waitForStarted(kListTimeoutMs))
        return {};
    if (!p.waitForFinished(kListTimeoutMs)) {
        p.kill();
        p.waitForFinished(500);
        return {};
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return parseIbusEngineList(QString::fromUtf8(p.readAllStandardOutput()));
}

void switchInputMethod(const QString &name)
{
    const QString engine = name.trimmed();
    if (engine.isEmpty())
        return;
    const QString prog = ibusProgram();
    if (prog.isEmpty())
        return;
    QProcess::startDetached(prog, {QStringLiteral("engine"), engine});
}
