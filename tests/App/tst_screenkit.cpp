#include "TestRegistry.h"

#include "Screens/AppActivity.h"
#include "Screens/SessionRefusal.h"

#include <QSignalSpy>
#include <QTest>

using namespace talvoro;

Q_DECLARE_METATYPE(QList<Qt::ApplicationState>)
Q_DECLARE_METATYPE(talvoro::SessionRefused::Reason)

class ScreenKitTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The controller restarts its refresh loop and the lists reload on every
    // report they hear, so only a move between foreground and background may
    // reach them, and each move once.
    void appActivityPassesOnOnlyChanges_data()
    {
        QTest::addColumn<QList<Qt::ApplicationState>>("reported");
        QTest::addColumn<QList<bool>>("heard");
        using L = QList<Qt::ApplicationState>;
        QTest::newRow("comes to the front") << L {Qt::ApplicationActive} << QList<bool> {true};
        QTest::newRow("front, then hidden") << L {Qt::ApplicationActive, Qt::ApplicationHidden}
                                           << QList<bool> {true, false};
        QTest::newRow("inactive to suspended is still away")
            << L {Qt::ApplicationActive, Qt::ApplicationInactive, Qt::ApplicationSuspended, Qt::ApplicationHidden}
            << QList<bool> {true, false};
        QTest::newRow("back again") << L {Qt::ApplicationActive, Qt::ApplicationInactive, Qt::ApplicationActive}
                                    << QList<bool> {true, false, true};
        QTest::newRow("never in front") << L {Qt::ApplicationInactive, Qt::ApplicationHidden} << QList<bool> {};
    }
    void appActivityPassesOnOnlyChanges()
    {
        QFETCH(QList<Qt::ApplicationState>, reported);
        QFETCH(QList<bool>, heard);
        AppActivity activity;
        // Start from "away", whatever the test process itself reports.
        activity.applicationStateChanged(Qt::ApplicationHidden);
        QSignalSpy changes(&activity, &AppActivity::activeChanged);
        for (Qt::ApplicationState state : reported)
            activity.applicationStateChanged(state);
        QList<bool> values;
        for (const QList<QVariant> &change : changes)
            values.append(change.at(0).toBool());
        QCOMPARE(values, heard);
        QCOMPARE(activity.isActive(), !heard.isEmpty() && heard.last());
    }

    // Every screen words an expired or unrenewable session alike; only an account
    // that changed under a screen is told in that screen's words.
    void sessionRefusalInAScreensWords_data()
    {
        using Reason = SessionRefused::Reason;
        QTest::addColumn<Reason>("reason");
        QTest::addColumn<QString>("text");
        QTest::newRow("expired") << Reason::expired << QStringLiteral("登录状态已失效，请重新登录后重试");
        QTest::newRow("no renewal now") << Reason::temporarilyUnavailable
                                        << QStringLiteral("当前网络暂时无法续期登录状态，本地登录信息已保留，请稍后重试");
        QTest::newRow("changed") << Reason::changed << QStringLiteral("本屏幕的说法");
    }
    void sessionRefusalInAScreensWords()
    {
        QFETCH(SessionRefused::Reason, reason);
        QFETCH(QString, text);
        const auto refusal = std::make_exception_ptr(SessionRefused(reason));
        QCOMPARE(describeSessionRefusal(refusal, QStringLiteral("本屏幕的说法")), std::optional(text));
        const auto other = std::make_exception_ptr(std::runtime_error("network"));
        QCOMPARE(describeSessionRefusal(other, QStringLiteral("本屏幕的说法")), std::nullopt);
    }
};

TALVORO_TEST(ScreenKitTest)
#include "tst_screenkit.moc"
