#include "QmlTestSupport.h"

#include <QDir>
#include <QMutex>

Q_IMPORT_QML_PLUGIN(TalvoroPlugin)

namespace {

QMutex warningsLock;
QStringList recordedWarnings;
QtMessageHandler previousHandler = nullptr;

void recordWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg) {
        QMutexLocker lock(&warningsLock);
        recordedWarnings.append(message);
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

QmlSnippets::QmlSnippets()
{
    m_engine.addImportPath(QStringLiteral("qrc:/"));
    clearWarnings();
    previousHandler = qInstallMessageHandler(recordWarnings);
}

QmlSnippets::~QmlSnippets()
{
    qInstallMessageHandler(previousHandler);
}

std::unique_ptr<QObject> QmlSnippets::create(const QByteArray &qml)
{
    QQmlComponent component(&m_engine);
    component.setData(qml, QUrl(QStringLiteral("qrc:/tests/Snippet.qml")));
    std::unique_ptr<QObject> object(component.create());
    if (!object) {
        QMutexLocker lock(&warningsLock);
        for (const QQmlError &error : component.errors())
            recordedWarnings.append(error.toString());
    }
    return object;
}

QStringList QmlSnippets::warnings() const
{
    QMutexLocker lock(&warningsLock);
    return recordedWarnings;
}

void QmlSnippets::clearWarnings()
{
    QMutexLocker lock(&warningsLock);
    recordedWarnings.clear();
}

QByteArray inWindow(const QByteArray &body)
{
    return "import QtQuick\nimport QtQuick.Controls\nimport QtQuick.Window\nimport Talvoro\n"
           "Window { width: 390; height: 600; visible: true\n"
        + body + "\n}\n";
}

bool QmlScene::show(const QByteArray &body)
{
    root = snippets.create(inWindow(body));
    window = qobject_cast<QQuickWindow *>(root.get());
    return window && QTest::qWaitForWindowExposed(window);
}

QQuickItem *QmlScene::item(const char *objectName) const
{
    return root->findChild<QQuickItem *>(QString::fromLatin1(objectName));
}

QString testOutputFolder()
{
    const QString folder = qEnvironmentVariable("TALVORO_TEST_OUTPUT", QDir::tempPath());
    QDir().mkpath(folder);
    return folder;
}
