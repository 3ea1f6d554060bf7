#include "JourneySteps.h"
#include "TestRegistry.h"

#include "App/HomeViewModel.h"
#include "Playlists/PlaylistDetailModel.h"

#include <QAccessible>
#include <QJsonArray>
#include <QTest>

#include <memory>

using namespace scenetest;

// What a screen reader reads: the accessibility tree of the real window, walked
// through the same interfaces the platform bridge hands to assistive tools.
namespace {

struct Heard {
    QString name;
    QAccessible::Role role;
    QQuickItem *item;
};

// An element is heard when it is shown and has something to say: a nameless
// panel is only a container the reader passes through. What is not shown is not
// read, and neither is anything inside it.
void listen(QAccessibleInterface *node, QList<Heard> &heard)
{
    if (!node || node->state().invisible)
        return;
    const QString name = node->text(QAccessible::Name);
    if (!name.isEmpty())
        heard.append({name, node->role(), qobject_cast<QQuickItem *>(node->object())});
    for (int i = 0; i < node->childCount(); ++i)
        listen(node->child(i), heard);
}

QList<Heard> whatIsHeard(QQuickWindow *window)
{
    QList<Heard> heard;
    listen(QAccessible::queryAccessibleInterface(window), heard);
    return heard;
}

// The item with this name, shown or not.
QQuickItem *anyItem(QQuickItem *root, const QString &objectName)
{
    if (!root)
        return nullptr;
    if (root->objectName() == objectName)
        return root;
    for (QQuickItem *child : root->childItems()) {
        if (QQuickItem *found = anyItem(child, objectName))
            return found;
    }
    return nullptr;
}

bool isInside(const QQuickItem *item, const QQuickItem *container)
{
    for (; item; item = item->parentItem()) {
        if (item == container)
            return true;
    }
    return false;
}

QList<Heard> heardInside(const QList<Heard> &heard, const QQuickItem *container)
{
    QList<Heard> inside;
    for (const Heard &element : heard) {
        if (isInside(element.item, container))
            inside.append(element);
    }
    return inside;
}

QStringList namesOf(const QList<Heard> &heard)
{
    QStringList names;
    for (const Heard &element : heard)
        names.append(element.name);
    return names;
}

void collectObjectNames(QQuickItem *item, QSet<QString> &names)
{
    if (!item->objectName().isEmpty())
        names.insert(item->objectName());
    for (QQuickItem *child : item->childItems())
        collectObjectNames(child, names);
}

// The names tests find items by are never what a person hears.
QStringList identifiersHeard(QQuickWindow *window)
{
    QSet<QString> identifiers;
    collectObjectNames(window->contentItem(), identifiers);
    QStringList spoken;
    for (const Heard &element : whatIsHeard(window)) {
        if (identifiers.contains(element.name))
            spoken.append(element.name);
    }
    return spoken;
}

// Placeholders in the expected names, filled in from what the app and the
// backend hold when the row runs: the session's error message, the word the
// player shows, the first public lexicon, the first word of that lexicon.
const QString sessionError = QStringLiteral("<error>");
const QString wordOnShow = QStringLiteral("<word>");
const QString publicLexicon = QStringLiteral("<lexicon>");
const QString publicWord = QStringLiteral("<word of the public lexicon>");
const QString unitSpoken = QStringLiteral("<unit spoken, repeat progress>");

} // namespace

class ScreenReaderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!SceneDriver::available())
            QSKIP("needs the backend build and the test run's own Secret Service (scripts/test)");
        QAccessible::setActive(true);
        m_scene = std::make_unique<SceneDriver>();
        QVERIFY(m_scene->startBackend());
        m_account = m_scene->backend().registerAccount();
        QVERIFY(m_scene->forgetStoredSession());
        QVERIFY(m_scene->launch());
        QVERIFY(m_scene->waitForItem(QStringLiteral("login.username")));
        QVERIFY(m_scene->waitForNoItem(QStringLiteral("launch.handoff")));
        QVERIFY(m_scene->type(QStringLiteral("login.username"), m_account.username));
        QVERIFY(m_scene->type(QStringLiteral("login.password"), QStringLiteral("wrong-passw0rd")));
        QVERIFY(m_scene->press(QStringLiteral("login.submit")));
        QVERIFY(m_scene->waitForItem(QStringLiteral("login.error")));
    }
    void cleanupTestCase() { m_scene.reset(); }

    // Each element: the item a test finds it by, what a person hears, how it is
    // announced, and the item around it that says nothing more than that.
    void loginScreen_data() { elementColumns(); }
    void loginScreen()
    {
        QVERIFY(m_scene->item(QStringLiteral("login.view")));
        checkElement();
    }

    // The password field is named, and what is typed into it is never read out.
    void passwordIsNotRead()
    {
        QAccessibleInterface *field
            = QAccessible::queryAccessibleInterface(m_scene->item(QStringLiteral("login.password")));
        QVERIFY(field);
        QCOMPARE(field->text(QAccessible::Name), QStringLiteral("密码"));
        QVERIFY(field->state().passwordEdit);
        QVERIFY(!field->text(QAccessible::Value).contains(QStringLiteral("passw0rd")));
        QAccessibleTextInterface *text = field->textInterface();
        QVERIFY(!text || !text->text(0, text->characterCount()).contains(QStringLiteral("passw0rd")));
    }

    void homeScreen_data() { elementColumns(); }
    void homeScreen()
    {
        QVERIFY(reachHome());
        checkElement();
    }

    // A lexicon row is one element: what it shows is read in its name, not again.
    void lexiconRow_data()
    {
        QTest::addColumn<QString>("opener");
        QTest::addColumn<QString>("element");
        QTest::addColumn<QString>("name");
        QTest::newRow("public lexicon word")
            << QStringLiteral("home.publicLexicon.0") << QStringLiteral("publicLexiconDetail.word.0") << publicWord;
        QTest::newRow("private lexicon") << QStringLiteral("home.userLexiconsCard.open")
                                         << QStringLiteral("userLexiconList.row.0")
                                         << QStringLiteral("晚读词库，0 个单词");
    }
    void lexiconRow()
    {
        QFETCH(QString, opener);
        QFETCH(QString, element);
        QFETCH(QString, name);
        QVERIFY(reachHome());
        settle();
        QVERIFY(m_scene->press(opener));
        QVERIFY(m_scene->waitForItem(element));
        settle();
        if (name == publicWord) {
            const QJsonArray lexicons
                = m_scene->backend().call("GET", QStringLiteral("/api/v1/public/lexicons")).data().toArray();
            const QJsonValue word = m_scene->backend()
                                        .call("GET",
                                            QStringLiteral("/api/v1/public/lexicons/%1")
                                                .arg(lexicons.at(0)[QStringLiteral("id")].toInteger()))
                                        .data()[QStringLiteral("words")]
                                        .toArray()
                                        .at(0);
            QStringList translations;
            for (const QJsonValue &translation : word[QStringLiteral("translationsZh")].toArray())
                translations.append(translation.toString());
            name = word[QStringLiteral("wordDisplay")].toString() + QStringLiteral("，")
                + translations.join(QStringLiteral("；"));
        }
        QQuickItem *row = m_scene->item(element);
        const QList<Heard> heard = heardInside(whatIsHeard(m_scene->window()), row);
        goBack(*m_scene);
        QVERIFY(m_scene->waitForNoItem(element));
        QCOMPARE(namesOf(heard).join(QLatin1Char('|')), name);
    }

    // Without swiping: the row offers the removal as an action of its own.
    void playlistRowOffersRemoval()
    {
        QVERIFY(reachPlaylist());
        QQuickItem *row = m_scene->item(QStringLiteral("playlistDetail.item.0"));
        QVERIFY(row);
        auto *detail = modelOf<talvoro::PlaylistDetailModel>(*m_scene, QStringLiteral("playlistDetail"));
        QVERIFY(detail);
        const QList<Heard> heard = whatIsHeard(m_scene->window());
        const auto found = std::find_if(heard.begin(), heard.end(), [row](const Heard &h) { return h.item == row; });
        QVERIFY2(found != heard.end(), "the row is read where it is shown");
        QVERIFY(found->name.startsWith(detail->items().at(0).wordDisplay));

        QAccessibleInterface *element = QAccessible::queryAccessibleInterface(row);
        QVERIFY(element && element->actionInterface());
        QCOMPARE(element->parent()->indexOfChild(element) >= 0, true);
        const QString remove = QStringLiteral("从播放列表移除");
        QVERIFY2(element->actionInterface()->actionNames().contains(remove),
            qPrintable(element->actionInterface()->actionNames().join(QLatin1Char('|'))));
        element->actionInterface()->doAction(remove);
        QCOMPARE(detail->alertKind(), talvoro::PlaylistDetailModel::AlertKind::DeleteItem);
        QCOMPARE(detail->alertTitle(), QStringLiteral("从播放列表移除？"));
        QVERIFY(pressAlertAction(*m_scene, QStringLiteral("取消")));
        QVERIFY(m_scene->waitFor([detail] { return detail->alertKind() == talvoro::PlaylistDetailModel::AlertKind::None; }));
    }

    void playerPage_data() { elementColumns(); }
    void playerPage()
    {
        QVERIFY(reachPlayerPage());
        checkElement();
    }

    // While the page is open, what lies under it is neither read nor focused.
    void underThePlayerPage_data()
    {
        QTest::addColumn<QString>("container");
        QTest::newRow("the bar") << QStringLiteral("player.bar");
        QTest::newRow("the playlist") << QStringLiteral("playlistDetail");
        QTest::newRow("home's pages") << QStringLiteral("home.stack");
    }
    void underThePlayerPage()
    {
        QFETCH(QString, container);
        QVERIFY(reachPlayerPage());
        QQuickItem *under = anyItem(m_scene->window()->contentItem(), container);
        QVERIFY2(under, qPrintable(container));
        QCOMPARE(namesOf(heardInside(whatIsHeard(m_scene->window()), under)).join(QLatin1Char('|')), QString());
        QQuickItem *focused = m_scene->window()->activeFocusItem();
        QVERIFY2(!isInside(focused, under), qPrintable(focused ? focused->objectName() : QString()));
    }

private:
    static void elementColumns()
    {
        QTest::addColumn<QString>("element");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("container");
        const QString currentTest = QString::fromLatin1(QTest::currentTestFunction());
        const auto row = [](const char *tag, const char *element, const QString &name, QAccessible::Role role,
                             const char *container) {
            QTest::newRow(tag) << QString::fromLatin1(element) << name << int(role) << QString::fromLatin1(container);
        };
        if (currentTest == QLatin1String("loginScreen")) {
            row("user name", "login.username", QStringLiteral("用户名"), QAccessible::EditableText, "login.username");
            row("password", "login.password", QStringLiteral("密码"), QAccessible::EditableText, "login.password");
            row("submit", "login.submit", QStringLiteral("登录"), QAccessible::Button, "login.submit");
            row("mode switch", "login.mode-switch", QStringLiteral("还没有账户？立即注册"), QAccessible::Button,
                "login.mode-switch");
            row("error", "login.error", sessionError, QAccessible::AlertMessage, "login.error");
            row("brand", "login.brand-title", QStringLiteral("Quenbry"), QAccessible::StaticText,
                "login.brand-title");
        } else if (currentTest == QLatin1String("homeScreen")) {
            row("account", "home.account", QStringLiteral("账号与设置"), QAccessible::Button, "home.account");
            row("translation card", "home.translationCard", QStringLiteral("翻译，功能即将推出"),
                QAccessible::StaticText, "home.translationCard");
            row("playlists card", "home.playlistsCard.open", QStringLiteral("播放列表，1 个列表"), QAccessible::Button,
                "home.playlistsCard");
            row("lexicons card", "home.userLexiconsCard.open", QStringLiteral("私人词库，1 个词库"),
                QAccessible::Button, "home.userLexiconsCard");
            row("public lexicon", "home.publicLexicon.0", publicLexicon, QAccessible::Button, "");
        } else {
            row("word", "player.chrome.title", wordOnShow, QAccessible::Heading, "player.page");
            row("word card's header", "player.card.status", unitSpoken, QAccessible::StaticText,
                "player.card.status");
            row("information header", "player.header", QStringLiteral("早读，单词：1 / 3，格式：顺序播放"),
                QAccessible::StaticText, "player.header");
            row("previous", "player.previous", QStringLiteral("上一个"), QAccessible::Button, "player.previous");
            row("next", "player.next", QStringLiteral("下一个"), QAccessible::Button, "player.next");
        }
    }

    // The element is heard with its name and role, and inside its container it
    // is the only thing heard (the word on the page is heard once in the window).
    void checkElement()
    {
        QFETCH(QString, element);
        QFETCH(QString, name);
        QFETCH(int, role);
        QFETCH(QString, container);
        QQuickWindow *window = m_scene->window();
        if (name == sessionError)
            name = m_scene->application().container().session().errorMessage();
        if (name == wordOnShow)
            name = m_scene->application().container().playbackSession().presentation()->word;
        if (name == unitSpoken) {
            const QObject *card = m_scene->item(QStringLiteral("player.card"))->property("model").value<QObject *>();
            const QString repeat = card->property("repeatText").toString();
            name = card->property("unitTitle").toString() + (repeat.isEmpty() ? QString() : QStringLiteral("，") + repeat);
        }
        if (name == publicLexicon) {
            const QJsonValue first
                = m_scene->backend().call("GET", QStringLiteral("/api/v1/public/lexicons")).data().toArray().at(0);
            name = first[QStringLiteral("name")].toString() + QStringLiteral("，")
                + QString::number(first[QStringLiteral("wordCount")].toInteger()) + QStringLiteral(" 词");
        }
        QVERIFY(!name.isEmpty());

        QQuickItem *item = m_scene->item(element);
        QVERIFY2(item, qPrintable(element));
        const QList<Heard> heard = whatIsHeard(window);
        // The element, or the one part of it that speaks for it.
        const auto found
            = std::find_if(heard.begin(), heard.end(), [item](const Heard &h) { return isInside(h.item, item); });
        QVERIFY2(found != heard.end(), qPrintable(element + QStringLiteral(" is not heard")));
        QCOMPARE(found->name, name);
        QCOMPARE(int(found->role), role);

        // The word on the page: heard once in the whole window. Anything else:
        // nothing more inside its container.
        const bool once = container == QLatin1String("player.page");
        // Without a name of its own, the container is what the element lies on.
        QQuickItem *holder = container.isEmpty() ? item->parentItem() : m_scene->item(container);
        QVERIFY2(holder, qPrintable(container));
        const QList<Heard> around = once ? heard : heardInside(heard, holder);
        QStringList repeated;
        for (const Heard &other : around) {
            if (other.item != found->item && (!once || other.name == name))
                repeated.append(other.name);
        }
        QCOMPARE(repeated.join(QLatin1Char('|')), QString());
        QCOMPARE(identifiersHeard(window).join(QLatin1Char('|')), QString());
    }

    bool reachHome()
    {
        if (m_scene->item(QStringLiteral("home.view")))
            return true;
        // The playlist the player page plays and a private lexicon, there before
        // home counts them.
        const QString token = m_scene->backend()
                                  .call("POST", QStringLiteral("/api/v1/auth/login"),
                                      QJsonObject {{"username", m_account.username}, {"password", m_account.password}})
                                  .data()[QStringLiteral("accessToken")]
                                  .toString();
        const QJsonArray lexicons
            = m_scene->backend().call("GET", QStringLiteral("/api/v1/public/lexicons")).data().toArray();
        const QJsonArray words = m_scene->backend()
                                     .call("GET",
                                         QStringLiteral("/api/v1/public/lexicons/%1")
                                             .arg(lexicons.at(0)[QStringLiteral("id")].toInteger()))
                                     .data()[QStringLiteral("words")]
                                     .toArray();
        QJsonArray items;
        for (int i = 0; i < 3; ++i) {
            items.append(QJsonObject {
                {"wordId", words.at(i)[QStringLiteral("id")]}, {"position", i + 1}, {"repeatCount", 1}});
        }
        m_scene->backend().call("POST", QStringLiteral("/api/v1/user/playlists"),
            QJsonObject {{"name", QStringLiteral("早读")}, {"loopMode", "ONCE"}, {"items", items}}, token);
        m_scene->backend().call(
            "POST", QStringLiteral("/api/v1/user/lexicons"), QJsonObject {{"name", QStringLiteral("晚读词库")}}, token);

        if (!m_scene->replaceText(QStringLiteral("login.password"), m_account.password)
            || !m_scene->press(QStringLiteral("login.submit")) || !m_scene->waitForItem(QStringLiteral("home.greeting")))
            return false;
        auto *home = modelOf<talvoro::HomeViewModel>(*m_scene, QStringLiteral("home.view"));
        return home && m_scene->waitFor([home] {
            return home->loadPhase() == talvoro::HomeViewModel::HomeLoadPhase::idle && home->playlistCount() == 1
                && home->userLexiconCount() == 1;
        });
    }

    bool reachPlaylist()
    {
        if (m_scene->item(QStringLiteral("playlistDetail.item.0")))
            return true;
        if (!reachHome())
            return false;
        settle();
        if (!m_scene->press(QStringLiteral("home.playlistsCard.open"))
            || !m_scene->waitForItem(QStringLiteral("playlistList.row.0")))
            return false;
        settle();
        if (!m_scene->press(QStringLiteral("playlistList.row.0"))
            || !m_scene->waitForItem(QStringLiteral("playlistDetail.item.0")))
            return false;
        settle();
        return true;
    }

    bool reachPlayerPage()
    {
        if (m_scene->item(QStringLiteral("player.collapse")))
            return true;
        if (!reachPlaylist() || !m_scene->press(QStringLiteral("playlistDetail.play"))
            || !m_scene->waitForItem(QStringLiteral("player.collapse")))
            return false;
        // The page has grown to the whole window.
        QQuickItem *host = m_scene->item(QStringLiteral("player.host"));
        if (!host || !m_scene->waitFor([host] { return host->property("progress").toReal() >= 1; }))
            return false;
        settle();
        return !m_scene->savePng(QStringLiteral("screenreader-player-page")).isEmpty();
    }

    std::unique_ptr<SceneDriver> m_scene;
    backendtest::Account m_account;
};

TALVORO_TEST(ScreenReaderTest)

#include "tst_screenreader.moc"
