#include "QmlTestSupport.h"
#include "TestRegistry.h"

#include "DesignSystem/Haptics.h"
#include "DesignSystem/IconCatalog.h"
#include "DesignSystem/ORVListRowPosition.h"
#include "DesignSystem/Theme.h"
#include "DesignSystem/ToastController.h"

#include <QDirIterator>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRawFont>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>

using namespace talvoro;

namespace {

void tap(QQuickWindow *window, QQuickItem *target)
{
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(window, Qt::LeftButton, {}, centre.toPoint());
}

// Every item of a type below `root`, visual children first (delegates have no QObject parent there).
QList<QQuickItem *> itemsOfType(QQuickItem *root, const char *type)
{
    QList<QQuickItem *> items;
    for (QQuickItem *child : root->childItems()) {
        if (child->inherits(type))
            items.append(child);
        items += itemsOfType(child, type);
    }
    return items;
}

QStringList moduleQmlFiles()
{
    QStringList files;
    QDirIterator it(QStringLiteral(":/Talvoro"), {QStringLiteral("*.qml")});
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

bool declaresRequiredProperty(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll().contains("\n    required property ");
}

} // namespace

class ComponentsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { Theme::shared()->setReduceMotion(true); }
    void cleanup() { Theme::shared()->setReduceMotion(false); }

    void everyComponentLoadsWithoutWarnings()
    {
        QmlSnippets snippets;
        const QStringList files = moduleQmlFiles();
        QVERIFY(files.size() > 20);
        for (const QString &file : files) {
            const QString type = QFileInfo(file).baseName();
            // Screens take the model they show; the scene tests render them.
            if (type == u"Main" || declaresRequiredProperty(file))
                continue;
            auto root = snippets.create(inWindow(type.toUtf8() + " { objectName: \"component\" }"));
            QVERIFY2(root, qPrintable(type + QStringLiteral(": ") + snippets.warnings().join(u'\n')));
            QVERIFY(QTest::qWaitForWindowExposed(qobject_cast<QQuickWindow *>(root.get())));
        }
        QVERIFY2(snippets.warnings().isEmpty(), qPrintable(snippets.warnings().join(u'\n')));
    }

    void everyIconNameInTheAppResolvesToAGlyph()
    {
        // Symbol names appear as string literals on the lines that name a symbol.
        static const QRegularExpression symbolLine(
            QStringLiteral(R"((?<![.\w])(name|iconName|symbolName|systemImageName|systemImage)\s*:)"));
        static const QRegularExpression literal(QStringLiteral(R"re("([a-z0-9]+(?:\.[a-z0-9]+)*)")re"));
        QStringList used;
        for (const QString &path : moduleQmlFiles()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
                if (!symbolLine.match(line).hasMatch())
                    continue;
                for (auto m = literal.globalMatch(line); m.hasNext();)
                    used.append(m.next().captured(1));
            }
        }
        QVERIFY(used.contains(QStringLiteral("arrow.down.circle.fill")));
        for (const QString &name : std::as_const(used))
            QVERIFY2(IconCatalog::contains(name), qPrintable(name));

        const QRawFont font = QRawFont::fromFont(QFont(IconCatalog::fontFamily()));
        QVERIFY(font.isValid());
        QCOMPARE(font.familyName(), QStringLiteral("Talvoro Glyphs"));
        const QStringList names = IconCatalog::names();
        QVERIFY(names.size() >= 60);
        for (const QString &name : names)
            QVERIFY2(font.supportsCharacter(IconCatalog::glyph(name).toUcs4().constFirst()), qPrintable(name));
        QVERIFY(font.supportsCharacter(IconCatalog::fallbackGlyph().toUcs4().constFirst()));
    }

    void anUnknownIconShowsTheFallbackAndWarnsOnce()
    {
        QmlScene scene;
        QVERIFY(scene.show(R"(
            Icon { objectName: "unknown"; name: "no.such.symbol" }
            Icon { objectName: "again"; name: "no.such.symbol" }
            Icon { objectName: "none" })"));
        QCOMPARE(scene.item("unknown")->property("text").toString(), IconCatalog::fallbackGlyph());
        QCOMPARE(scene.item("none")->property("text").toString(), QString());
        QCOMPARE(scene.snippets.warnings().filter(QStringLiteral("no.such.symbol")).size(), 1);
    }

    void textIsShownAsWritten()
    {
        QmlScene scene;
        QVERIFY(scene.show(R"(
            PlainText { objectName: "text"; text: "<img src='http://example.com/x.png'>苹果" }
            ORVEmptyStateView { objectName: "empty"; title: "<b>词库</b>" })"));
        QQuickItem *text = scene.item("text");
        QCOMPARE(text->property("textFormat").toInt(), 0); // Text.PlainText
        QVERIFY(text->property("implicitWidth").toReal() > 100); // the markup is drawn as characters
        for (QQuickItem *child : itemsOfType(scene.item("empty"), "QQuickText"))
            QCOMPARE(child->property("textFormat").toInt(), 0);
    }

    void thePrimaryButtonIgnoresTapsWhileInactive_data()
    {
        QTest::addColumn<bool>("isLoading");
        QTest::addColumn<bool>("isDisabled");
        QTest::addColumn<bool>("active");

        QTest::newRow("active") << false << false << true;
        QTest::newRow("loading") << true << false << false;
        QTest::newRow("disabled") << false << true << false;
        QTest::newRow("both") << true << true << false;
    }

    void thePrimaryButtonIgnoresTapsWhileInactive()
    {
        QFETCH(bool, isLoading);
        QFETCH(bool, isDisabled);
        QFETCH(bool, active);
        QmlScene scene;
        QVERIFY(scene.show(QByteArray(R"(
            property int taps: 0
            ORVPrimaryButton {
                objectName: "button"; width: 300; title: "登录"; iconName: "person.fill"
                isLoading: %1; isDisabled: %2
                onClicked: taps++
            })")
                               .replace("%1", isLoading ? "true" : "false")
                               .replace("%2", isDisabled ? "true" : "false")));
        QQuickItem *button = scene.item("button");
        tap(scene.window, button);
        QCOMPARE(scene.root->property("taps").toInt(), active ? 1 : 0);
        QCOMPARE(button->property("isInactive").toBool(), !active);

        // The spinner replaces the icon while loading; the title dims while inactive.
        QHash<QString, QQuickItem *> parts; // by QML type
        for (QQuickItem *child : button->findChildren<QQuickItem *>())
            parts.insert(QString::fromLatin1(child->metaObject()->className()).section(u'_', 0, 0), child);
        QVERIFY(parts.value("ActivityIndicator") && parts.value("Icon") && parts.value("PlainText"));
        QCOMPARE(parts["ActivityIndicator"]->isVisible(), isLoading);
        QCOMPARE(parts["Icon"]->isVisible(), !isLoading);
        QCOMPARE(parts["PlainText"]->property("color").value<QColor>().rgba(),
            (active ? Theme::shared()->textOnAccent() : Theme::shared()->textTertiary()).rgba());
    }

    void theEmptyStateOffersItsActionOnlyWithTitleAndAction_data()
    {
        QTest::addColumn<QByteArray>("actionTitle");
        QTest::addColumn<QByteArray>("action");
        QTest::addColumn<bool>("shown");

        QTest::newRow("both") << QByteArray("\"立即添加单词\"") << QByteArray("function() { done++ }") << true;
        QTest::newRow("title only") << QByteArray("\"立即添加单词\"") << QByteArray("null") << false;
        QTest::newRow("action only") << QByteArray("null") << QByteArray("function() { done++ }") << false;
        QTest::newRow("neither") << QByteArray("null") << QByteArray("null") << false;
    }

    void theEmptyStateOffersItsActionOnlyWithTitleAndAction()
    {
        QFETCH(QByteArray, actionTitle);
        QFETCH(QByteArray, action);
        QFETCH(bool, shown);
        QmlScene scene;
        QVERIFY(scene.show(R"(
            property int done: 0
            ORVEmptyStateView {
                objectName: "empty"; anchors.fill: parent; title: "词库中尚无单词"; description: "说明"
                systemImageName: "tray"; actionTitle: )"
            + actionTitle + "; action: " + action + " }"));
        QQuickItem *empty = scene.item("empty");
        QCOMPARE(empty->property("showsAction").toBool(), shown);

        QQuickItem *button = itemsOfType(empty, "QQuickAbstractButton").value(0);
        QVERIFY(button);
        QCOMPARE(button->isVisible(), shown);
        if (shown) {
            tap(scene.window, button);
            QCOMPARE(scene.root->property("done").toInt(), 1);
        }
    }

    void rowsDrawSeparatorsOnlyWhenFirstOrMiddle_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("separator");

        QTest::newRow("only row") << 0 << 1 << int(ORVListRowPosition::Only) << false;
        QTest::newRow("first of three") << 0 << 3 << int(ORVListRowPosition::First) << true;
        QTest::newRow("middle of three") << 1 << 3 << int(ORVListRowPosition::Middle) << true;
        QTest::newRow("last of three") << 2 << 3 << int(ORVListRowPosition::Last) << false;
        QTest::newRow("last of two") << 1 << 2 << int(ORVListRowPosition::Last) << false;
    }

    void rowsDrawSeparatorsOnlyWhenFirstOrMiddle()
    {
        QFETCH(int, index);
        QFETCH(int, count);
        QFETCH(int, position);
        QCOMPARE(int(ORVListRowPosition::forIndex(index, count)), position);

        QmlScene scene;
        QVERIFY(scene.show(QByteArray(R"(
            property int taps: 0
            Rectangle {
                objectName: "row"; width: 300; height: 48
                MouseArea { anchors.fill: parent; onClicked: taps++ }
                ORVListRowSeparatorModifier {
                    objectName: "separator"
                    position: ORVListRowPosition.forIndex(%1, %2)
                    leadingInset: -12; trailingInset: 20
                }
            })")
                               .replace("%1", QByteArray::number(index))
                               .replace("%2", QByteArray::number(count))));
        QQuickItem *separator = scene.item("separator");
        QTEST(separator->isVisible(), "separator");
        QCOMPARE(separator->y(), 47.0);

        // A negative inset counts as none; the line leaves the trailing inset free.
        QQuickItem *line = separator->childItems().constFirst();
        QCOMPARE(line->x(), 0.0);
        QCOMPARE(line->width(), 280.0);

        // A tap on the separator lands on the row.
        QTest::mouseClick(scene.window, Qt::LeftButton, {}, QPoint(150, 47));
        QCOMPARE(scene.root->property("taps").toInt(), 1);
    }

    void aNewerToastOutlivesTheOlderOnesTimer()
    {
        ToastController toast;
        toast.setDuration(0);
        toast.show(QStringLiteral("第一条"));
        toast.setDuration(3600 * 1000);
        toast.show(QStringLiteral("第二条"));
        const QString second = toast.toastId();
        QCoreApplication::processEvents(); // the first toast's timer fires
        QVERIFY(toast.visible());
        QCOMPARE(toast.message(), QStringLiteral("第二条"));
        QCOMPARE(toast.toastId(), second);

        toast.setDuration(0);
        toast.show(QStringLiteral("第三条"));
        QVERIFY(toast.toastId() != second);
        QTRY_VERIFY_WITH_TIMEOUT(!toast.visible(), 5000);
        QCOMPARE(toast.message(), QString());
    }

    // Side by side, the cancel action leads; stacked (three actions, a
    // confirmation from the bottom edge, or two at an accessibility size) it is
    // at the bottom. Whatever the order the caller lists them in.
    void dialogsPlaceCancelByLayoutAndCloseOnAnyAction_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<int>("size");
        QTest::addColumn<QStringList>("shown"); // leading to trailing, then top to bottom
        const QString cancelFirst = QStringLiteral(
            R"([{ text: "取消", role: "cancel" }, { text: "删除", role: "destructive", handler: () => chosen = "删除" }])");
        const QString cancelLast = QStringLiteral(
            R"([{ text: "删除", role: "destructive", handler: () => chosen = "删除" }, { text: "取消", role: "cancel" }])");
        const QString three = QStringLiteral(R"([{ text: "取消", role: "cancel" },
            { text: "删除", role: "destructive", handler: () => chosen = "删除" }, { text: "稍后" }])");
        const QStringList sideBySide {QStringLiteral("取消"), QStringLiteral("删除")};
        const QStringList stacked {QStringLiteral("删除"), QStringLiteral("取消")};
        const int regular = Theme::Large;
        const int largest = Theme::AccessibilityExtraExtraExtraLarge;
        QTest::newRow("alert, two, cancel listed first") << "AlertDialog" << cancelFirst << regular << sideBySide;
        QTest::newRow("alert, two, cancel listed last") << "AlertDialog" << cancelLast << regular << sideBySide;
        QTest::newRow("alert, two, largest text") << "AlertDialog" << cancelFirst << largest << stacked;
        QTest::newRow("alert, three") << "AlertDialog" << three << regular
                                      << QStringList {QStringLiteral("删除"), QStringLiteral("稍后"), QStringLiteral("取消")};
        QTest::newRow("confirmation, two") << "ConfirmationDialog" << cancelFirst << regular << stacked;
    }
    void dialogsPlaceCancelByLayoutAndCloseOnAnyAction()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, actions);
        QFETCH(int, size);
        QFETCH(QStringList, shown);
        Theme::shared()->setContentSize(Theme::ContentSize(size));
        const auto resetSize = qScopeGuard([] { Theme::shared()->setContentSize(Theme::Large); });
        QmlScene scene;
        QVERIFY(scene.show(QStringLiteral(R"(
            property string chosen
            property int dismissals: 0
            %1 {
                objectName: "dialog"; presented: true; title: "删除播放列表？"
                actions: %2
                onDismissed: dismissals++
            })").arg(dialog, actions).toUtf8()));
        QObject *popup = scene.root->findChild<QObject *>(QStringLiteral("dialog"));
        QTRY_VERIFY_WITH_TIMEOUT(popup->property("opened").toBool(), 5000);

        QList<QQuickItem *> buttons
            = itemsOfType(qvariant_cast<QQuickItem *>(popup->property("contentItem")), "QQuickAbstractButton");
        std::sort(buttons.begin(), buttons.end(), [](QQuickItem *a, QQuickItem *b) {
            const QPointF pa = a->mapToScene({});
            const QPointF pb = b->mapToScene({});
            return qFuzzyCompare(pa.y(), pb.y()) ? pa.x() < pb.x() : pa.y() < pb.y();
        });
        QStringList labels;
        for (QQuickItem *button : std::as_const(buttons)) {
            for (QQuickItem *text : itemsOfType(button, "QQuickText"))
                labels.append(text->property("text").toString());
        }
        QCOMPARE(labels, shown);

        tap(scene.window, buttons.at(int(shown.indexOf(QStringLiteral("删除")))));
        QCOMPARE(scene.root->property("chosen").toString(), QStringLiteral("删除"));
        QTRY_VERIFY_WITH_TIMEOUT(!popup->property("visible").toBool(), 5000);
        QCOMPARE(scene.root->property("dismissals").toInt(), 1);
    }

    void navigationBuildsPagesWhenFollowedAndReportsTheWayBack()
    {
        QmlScene scene;
        QVERIFY(scene.show(R"(
            property int built: 0
            property int rootAppearances: 0
            property int dismissals: 0
            property bool showDetail: false
            NavStack {
                objectName: "stack"; anchors.fill: parent
                initialPage: NavPage {
                    title: "首页"
                    onAppeared: rootAppearances++
                    NavDestination {
                        navStack: parent.navStack
                        presented: showDetail
                        page: NavPage { title: "详情"; Component.onCompleted: built++ }
                        onDismissed: { dismissals++; showDetail = false }
                    }
                }
            })"));
        QObject *stack = scene.root->findChild<QObject *>(QStringLiteral("stack"));
        QCOMPARE(scene.root->property("built").toInt(), 0);
        QCOMPARE(scene.root->property("rootAppearances").toInt(), 1);

        scene.root->setProperty("showDetail", true);
        QCOMPARE(scene.root->property("built").toInt(), 1);
        QCOMPARE(stack->property("depth").toInt(), 2);

        // The bar's back button pops the page and clears the flag through `dismissed`.
        QQuickItem *back = nullptr;
        for (QQuickItem *child : stack->findChildren<QQuickItem *>()) {
            if (child->inherits("QQuickAbstractButton") && child->isVisible())
                back = child;
        }
        QVERIFY(back);
        tap(scene.window, back);
        QCOMPARE(stack->property("depth").toInt(), 1);
        QCOMPARE(scene.root->property("dismissals").toInt(), 1);
        QCOMPARE(scene.root->property("showDetail").toBool(), false);
        QTRY_COMPARE_WITH_TIMEOUT(scene.root->property("rootAppearances").toInt(), 2, 5000);

        // Following the link again builds a new page; clearing the flag pops it.
        scene.root->setProperty("showDetail", true);
        QCOMPARE(scene.root->property("built").toInt(), 2);
        scene.root->setProperty("showDetail", false);
        QCOMPARE(stack->property("depth").toInt(), 1);
    }

    void aSheetBuildsItsPageOnlyWhileShown()
    {
        QmlScene scene;
        QVERIFY(scene.show(R"(
            property int built: 0
            property int dismissals: 0
            property bool showSheet: false
            property Item sheetPage: null
            Sheet {
                objectName: "sheet"
                presented: showSheet
                onDismissed: { dismissals++; showSheet = false }
                page: NavPage {
                    title: "添加单词"
                    Component.onCompleted: { built++; sheetPage = this }
                }
            })"));
        QCOMPARE(scene.root->property("built").toInt(), 0);

        scene.root->setProperty("showSheet", true);
        QTRY_COMPARE_WITH_TIMEOUT(scene.root->property("built").toInt(), 1, 5000);
        // The page closes its sheet the way a cancel button would.
        QObject *page = qvariant_cast<QObject *>(scene.root->property("sheetPage"));
        QVERIFY(page);
        QObject *stack = qvariant_cast<QObject *>(page->property("navStack"));
        QVERIFY(stack);
        QMetaObject::invokeMethod(stack, "dismiss");
        QTRY_COMPARE_WITH_TIMEOUT(scene.root->property("dismissals").toInt(), 1, 5000);
        QCOMPARE(scene.root->property("showSheet").toBool(), false);
    }

    void theBarShowsOnlyTheCurrentPagesOwnItems()
    {
        // Pages bound to their document, as the app's are: their bar items reach the
        // document's ids, are found only while their page is current, and go with it.
        QmlSnippets snippets;
        const std::unique_ptr<QObject> root = snippets.create("pragma ComponentBehavior: Bound\n" + inWindow(R"(
            id: window
            property int adds: 0
            function openDetail() { stack.push(detail, {}) }
            NavStack { id: stack; objectName: "stack"; anchors.fill: parent; initialPage: list }
            Component {
                id: list
                NavPage {
                    title: "列表"
                    trailingItems: NavBarTextButton { objectName: "list.add"; title: "添加"; onClicked: window.adds++ }
                }
            }
            Component {
                id: detail
                NavPage {
                    title: "详情"
                    trailingItems: NavBarTextButton { objectName: "detail.save"; title: "保存" }
                }
            })"));
        auto *window = qobject_cast<QQuickWindow *>(root.get());
        QVERIFY2(window && QTest::qWaitForWindowExposed(window), qPrintable(snippets.warnings().join('\n')));
        const auto shown = [&](const char *name) {
            auto *item = root->findChild<QQuickItem *>(QString::fromLatin1(name));
            return item && item->isVisible() ? item : nullptr;
        };

        QVERIFY(shown("list.add"));
        tap(window, shown("list.add"));
        QCOMPARE(root->property("adds").toInt(), 1);

        QMetaObject::invokeMethod(root.get(), "openDetail");
        QVERIFY(shown("detail.save"));
        QVERIFY(root->findChild<QQuickItem *>(QStringLiteral("list.add")));
        QVERIFY(!shown("list.add"));

        QMetaObject::invokeMethod(root->findChild<QObject *>(QStringLiteral("stack")), "pop");
        QVERIFY(shown("list.add"));
        QTRY_VERIFY_WITH_TIMEOUT(!root->findChild<QQuickItem *>(QStringLiteral("detail.save")), 5000);
        QVERIFY2(snippets.warnings().isEmpty(), qPrintable(snippets.warnings().join('\n')));
    }

    void aBoundLoaderKeepsOneItemOfItsBoundComponent()
    {
        QmlSnippets snippets;
        const std::unique_ptr<QObject> root = snippets.create("pragma ComponentBehavior: Bound\n" + inWindow(R"(
            id: window
            property string greeting: "你好"
            property bool second: false
            property bool shown: true
            BoundLoader {
                objectName: "loader"; anchors.fill: parent
                active: window.shown
                sourceComponent: window.second ? secondScreen : firstScreen
            }
            Component { id: firstScreen; Item { objectName: "first"; property string text: window.greeting } }
            Component { id: secondScreen; Item { objectName: "second" } })"));
        auto *window = qobject_cast<QQuickWindow *>(root.get());
        QVERIFY2(window && QTest::qWaitForWindowExposed(window), qPrintable(snippets.warnings().join('\n')));
        QObject *loader = root->findChild<QObject *>(QStringLiteral("loader"));
        const auto item = [&] { return qvariant_cast<QQuickItem *>(loader->property("item")); };

        QVERIFY(item());
        QCOMPARE(item()->objectName(), QStringLiteral("first"));
        QCOMPARE(item()->property("text").toString(), QStringLiteral("你好"));
        QCOMPARE(item()->size(), QSizeF(window->width(), window->height()));

        // The item left is out of sight at once and gone soon after, not kept aside.
        const QPointer<QQuickItem> first = item();
        root->setProperty("second", true);
        QCOMPARE(item()->objectName(), QStringLiteral("second"));
        QVERIFY(!first || !first->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!first, 5000);

        const QPointer<QQuickItem> second = item();
        root->setProperty("shown", false);
        QVERIFY(!item());
        QTRY_VERIFY_WITH_TIMEOUT(!second, 5000);
        root->setProperty("shown", true);
        QCOMPARE(item()->objectName(), QStringLiteral("second"));
        QVERIFY2(snippets.warnings().isEmpty(), qPrintable(snippets.warnings().join('\n')));
    }

    void dismissingTheKeyboardTakesTheFocusAway()
    {
        QmlScene scene;
        QVERIFY(scene.show(R"(
            TextInput { objectName: "field"; width: 200; height: 40; focus: true })"));
        scene.window->requestActivate();
        QQuickItem *field = scene.item("field");
        field->forceActiveFocus();
        QVERIFY(field->hasActiveFocus());
        QMetaObject::invokeMethod(
            scene.snippets.engine().singletonInstance<QObject *>(qmlTypeId("Talvoro", 1, 0, "Keyboard")), "dismiss",
            Q_ARG(QQuickItem *, field));
        QVERIFY(!field->hasActiveFocus());
    }

    void theRefreshViewRunsTheActionOnceAndEndsWhenItSettles()
    {
        QmlScene scene;
        QVERIFY(scene.show(R"(
            property int calls: 0
            property var finish: null
            ORVRefreshScrollView {
                objectName: "view"; anchors.fill: parent
                refreshAction: function() {
                    calls++;
                    return { then: function(done) { finish = done } };
                }
                Rectangle { width: parent.width; height: 900; color: "white" }
            })"));
        Haptics::shared()->resetCount();

        // A real drag: press, pull down well past the threshold in steps, let go.
        QTest::mousePress(scene.window, Qt::LeftButton, {}, QPoint(200, 100));
        for (int y = 110; y <= 400; y += 10)
            QTest::mouseMove(scene.window, QPoint(200, y), 16);
        QQuickItem *view = scene.item("view");
        QObject *coordinator = qvariant_cast<QObject *>(view->property("coordinator"));
        QCOMPARE(coordinator->property("state").toInt(), 2); // armed
        QTest::mouseRelease(scene.window, Qt::LeftButton, {}, QPoint(200, 400), 16);

        QCOMPARE(scene.root->property("calls").toInt(), 1);
        QCOMPARE(Haptics::shared()->lightImpactCount(), 1);
        QCOMPARE(coordinator->property("state").toInt(), 3); // refreshing
        QTRY_COMPARE_WITH_TIMEOUT(view->property("heldInset").toReal(), 60.0, 5000);

        QJSValue finish = scene.root->property("finish").value<QJSValue>();
        QVERIFY(finish.isCallable());
        finish.call();
        QCOMPARE(coordinator->property("state").toInt(), 1); // idle
        QTRY_COMPARE_WITH_TIMEOUT(view->property("heldInset").toReal(), 0.0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!coordinator->property("isCompleting").toBool(), 5000);
        QVERIFY2(scene.snippets.warnings().isEmpty(), qPrintable(scene.snippets.warnings().join(u'\n')));
    }
};

TALVORO_TEST(ComponentsTest)
#include "tst_components.moc"
