#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

// What the test run's sound server (a null sink) is sent, asked through the
// desktop's own clients while the app's event loop keeps turning.
namespace scenetest {

// Runs a desktop client (pactl, playerctl) and returns what it printed.
inline QString runDesktopClient(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, 10000))
        process.kill();
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

inline bool hasSoundServer()
{
    return !runDesktopClient(QStringLiteral("pactl"), {QStringLiteral("info")}).isEmpty();
}

// Whether this process's stream on the sound server is paused: "no" while sound
// is sent, "yes" while paused, empty without a stream.
inline QString streamCorked()
{
    const QString streams
        = runDesktopClient(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    const qsizetype app
        = streams.indexOf(QStringLiteral("application.process.id = \"%1\"").arg(QCoreApplication::applicationPid()));
    if (app < 0)
        return QString();
    const qsizetype corked = streams.lastIndexOf(QStringLiteral("Corked: "), app);
    return corked < 0 ? QString() : streams.mid(corked + 8, 3).trimmed();
}

// The sound server's numbers of this process's streams, in the order it lists them.
inline QList<int> streamIndexes()
{
    const QString streams
        = runDesktopClient(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    const QString ours = QStringLiteral("application.process.id = \"%1\"").arg(QCoreApplication::applicationPid());
    QList<int> indexes;
    for (const QString &block : streams.split(QStringLiteral("Sink Input #"), Qt::SkipEmptyParts)) {
        if (block.contains(ours))
            indexes.append(block.section(QLatin1Char('\n'), 0, 0).trimmed().toInt());
    }
    return indexes;
}

} // namespace scenetest
