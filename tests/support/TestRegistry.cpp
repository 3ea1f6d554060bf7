#include "TestRegistry.h"

#include <QStringList>
#include <QTest>

#include <map>

namespace testsupport {

namespace {
std::map<QByteArray, std::function<std::unique_ptr<QObject>()>> &registry()
{
    static std::map<QByteArray, std::function<std::unique_ptr<QObject>()>> tests;
    return tests;
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
    int failures = 0;
    for (auto &[name, factory] : registry()) {
        if (!only.isEmpty() && !only.contains(name))
            continue;
        std::unique_ptr<QObject> test = factory();
        failures += QTest::qExec(test.get(), int(args.size()), args.data()) != 0 ? 1 : 0;
    }
    return failures == 0 ? 0 : 1;
}

} // namespace testsupport
