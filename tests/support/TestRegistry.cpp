#include "TestRegistry.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <cstdio>
#include <map>

namespace testsupport {

namespace {
std::map<QByteArray, std::function<std::unique_ptr<QObject>()>> &registry()
{
    static std::map<QByteArray, std::function<std::unique_ptr<QObject>()>> tests;
    return tests;
}

// Runs one class in a child process of this executable; true when all of it passed.
// Its output goes straight to ours; a class that did not pass is named at the end of it.
bool runInChild(const QByteArray &name, const QStringList &qtestArguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
        QStringList {QStringLiteral("-class"), QString::fromUtf8(name)} + qtestArguments);
    // The test's own limits, and ctest's, bound the wait.
    if (child.waitForFinished(-1) && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
        return true;
    const QString why = child.error() != QProcess::UnknownError ? child.errorString()
                                                                : QStringLiteral("exit code %1").arg(child.exitCode());
    std::fprintf(stderr, "%s failed: %s\n", name.constData(), qPrintable(why));
    return false;
}
} // namespace

int registerTest(const char *name, std::function<std::unique_ptr<QObject>()> factory)
{
    registry().emplace(name, std::move(factory));
    return 0;
}

int runRegisteredTests(int argc, char **argv)
{
    // "-class Name" (repeatable) picks test classes; everything else goes to QTest.
    QList<QByteArray> only;
    std::vector<char *> args;
    for (int i = 0; i < argc; ++i) {
        if (qstrcmp(argv[i], "-class") == 0 && i + 1 < argc) {
            only.append(argv[++i]);
            continue;
        }
        args.push_back(argv[i]);
    }
    for (const QByteArray &name : only) {
        if (registry().count(name) == 0) {
            std::fprintf(stderr, "No test class %s in this executable\n", name.constData());
            return 1;
        }
    }
    QList<QByteArray> selected;
    for (const auto &entry : registry()) {
        if (only.isEmpty() || only.contains(entry.first))
            selected.append(entry.first);
    }

    if (selected.size() == 1) {
        std::unique_ptr<QObject> test = registry().at(selected.front())();
        return QTest::qExec(test.get(), int(args.size()), args.data());
    }
    // QtTest cannot run several classes in one process: a QSKIP in initTestCase leaves
    // a flag set that no later qExec clears (QTestResult::reset() misses it), so every
    // later class would run none of its tests and still pass. Each class gets a
    // process of its own instead.
    QStringList qtestArguments;
    for (std::size_t i = 1; i < args.size(); ++i)
        qtestArguments.append(QString::fromLocal8Bit(args[i]));
    int failed = 0;
    for (const QByteArray &name : selected)
        failed += runInChild(name, qtestArguments) ? 0 : 1;
    return failed == 0 ? 0 : 1;
}

} // namespace testsupport
