#include "TestRegistry.h"

#include "Platform/ProcessExit.h"

#include <QGuiApplication>
#include <QQuickStyle>

namespace {

int run(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("TalvoroTests"));
    QCoreApplication::setApplicationName(QStringLiteral("TalvoroTests"));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    return testsupport::runRegisteredTests(argc, argv);
}

} // namespace

int main(int argc, char **argv)
{
    // The application object and the tests' objects are gone when run() returns;
    // Qt's exit-time statics never run (see exitProcess).
    talvoro::exitProcess(run(argc, argv));
}
