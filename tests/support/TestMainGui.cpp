#include "TestRegistry.h"

#include <QGuiApplication>
#include <QQuickStyle>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("TalvoroTests"));
    QCoreApplication::setApplicationName(QStringLiteral("TalvoroTests"));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    return testsupport::runRegisteredTests(argc, argv);
}
