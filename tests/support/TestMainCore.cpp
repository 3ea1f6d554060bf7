#include "TestRegistry.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("TalvoroTests"));
    QCoreApplication::setApplicationName(QStringLiteral("TalvoroTests"));
    return testsupport::runRegisteredTests(argc, argv);
}
