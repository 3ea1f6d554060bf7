#include "QmlTestSupport.h"
#include "TestRegistry.h"

#include "DesignSystem/IconCatalog.h"
#include "DesignSystem/Theme.h"

#include <QDir>
#include <QQmlContext>
#include <QQuickWindow>

using talvoro::Theme;

namespace {

// Every component of the design system on a few pages of a phone-sized window.
const QByteArray galleryQml = R"QML(
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Window
import Talvoro

Window {
    id: window
    width: 390
    height: 844
    visible: true
    color: Theme.background

    property string page: "components"

    ToastController { id: toast; duration: 3600000 }
    component Backdrop: Item { PlainText { x: 16; y: 60; text: "底层页面" } }

    Loader {
        id: loader
        anchors.fill: parent
        sourceComponent: window.page === "components" ? components
                       : window.page === "states" ? states
                       : window.page === "refresh" ? refresh
                       : window.page === "icons" ? icons
                       : window.page === "sheet" ? sheetPage
                       : window.page === "alert" ? alertPage
                       : confirmationPage
    }

    Component {
        id: components
        NavStack {
            initialPage: NavPage {
                title: "公共词库"
                trailingItems: ORVToolbarIconButton { symbolName: "plus"; accessibilityLabel: "添加" }
                Flickable {
                    anchors.fill: parent
                    contentHeight: content.implicitHeight + 32
                    ColumnLayout {
                        id: content
                        x: 16; y: 16
                        width: parent.width - 32
                        spacing: 12
                        ORVCardStyle {
                            ColumnLayout {
                                anchors.fill: parent
                                spacing: 4
                                PlainText { text: "四级核心词汇 <b>CET-4</b>"; font: Theme.font(Theme.Headline); wrapMode: Text.Wrap; Layout.fillWidth: true }
                                PlainText { text: "1200 词 · 卡片样式"; color: Theme.textSecondary; font: Theme.font(Theme.Subheadline); wrapMode: Text.Wrap; Layout.fillWidth: true }
                                ORVOfflineBadge {}
                            }
                        }
                        ORVPrimaryButton { title: "登录"; iconName: "person.fill" }
                        ORVPrimaryButton { title: "正在登录"; iconName: "person.fill"; isLoading: true }
                        ORVPrimaryButton { title: "注册"; iconName: "person.badge.plus"; isDisabled: true }
                        ORVSecondaryButton { title: "重新加载"; iconName: "arrow.clockwise" }
                        ORVInputField {
                            iconName: "lock.fill"
                            placeholder: "密码"
                            TextInput {
                                anchors.fill: parent
                                verticalAlignment: TextInput.AlignVCenter
                                text: "学习 English"
                                font: Theme.systemFont(16)
                                color: Theme.textPrimary
                            }
                        }
                        RowLayout {
                            spacing: 8
                            ORVToolbarIconButton { symbolName: "chevron.down"; accessibilityLabel: "缩小" }
                            ORVToolbarIconButton { symbolName: "trash"; accessibilityLabel: "删除"; semanticColor: Theme.danger }
                            ORVToolbarIconButton { symbolName: "slider.horizontal.3"; accessibilityLabel: "设置"; isDisabled: true }
                            MinTouchTargetModifier { Icon { name: "info.circle"; size: 15; tint: Theme.textSecondary } }
                        }
                        ORVCardStyle {
                            padding: 0
                            Column {
                                anchors.fill: parent
                                Repeater {
                                    model: ["英文单词 apple", "逐字母拼写", "中文译文 苹果"]
                                    Rectangle {
                                        required property int index
                                        required property string modelData
                                        width: parent.width
                                        height: 48
                                        color: "transparent"
                                        PlainText { x: 16; width: parent.width - 32; anchors.verticalCenter: parent.verticalCenter; text: parent.modelData; elide: Text.ElideRight }
                                        ORVListRowSeparatorModifier { position: ORVListRowPosition.forIndex(parent.index, 3); leadingInset: 16 }
                                    }
                                }
                            }
                        }
                        ORVSkeletonRowView { Layout.fillWidth: true }
                        ORVSkeletonRowView { Layout.fillWidth: true }
                    }
                }
            }
        }
    }

    Component {
        id: states
        ColumnLayout {
            spacing: 0
            ORVEmptyStateView {
                Layout.fillWidth: true
                title: "尚无私人词库"
                description: "点击右上角“+”新建词库或开始添加自定义单词"
                systemImageName: "tray"
                actionTitle: "创建首个词库"
                action: function() {}
            }
            ORVErrorStateView {
                Layout.fillWidth: true
                message: "网络连接已断开，请检查网络后重试。"
                retryAction: function() {}
            }
            Item { Layout.fillHeight: true }
        }
    }

    Component {
        id: refresh
        Item {
          ToastView { controller: toast; Component.onCompleted: toast.show("已保存到播放列表") }
          ColumnLayout {
            anchors.fill: parent
            anchors.topMargin: 80
            spacing: 24
            Repeater {
                model: [40, 90, -1]
                ORVRefreshScrollView {
                    id: refresher
                    required property int modelData
                    Layout.fillWidth: true
                    Layout.preferredHeight: 120
                    Rectangle { width: parent.width; height: 200; color: Theme.surface
                        PlainText { x: 16; y: 12; text: "首页内容" } }
                    // Pulled by hand once laid out: 40 (pulling), 90 (armed), released (refreshing).
                    Timer {
                        running: true
                        interval: 50
                        onTriggered: {
                            if (refresher.modelData < 0) {
                                refresher.refreshAction = function() { return { then: function(done) {} }; };
                                refresher.coordinator.didEndDragging(80);
                            } else {
                                refresher.contentY = -refresher.modelData;
                            }
                        }
                    }
                }
            }
            Item { Layout.fillHeight: true }
          }
        }
    }

    Component {
        id: icons
        GridLayout {
            columns: 3
            columnSpacing: 4
            rowSpacing: 2
            anchors.margins: 8
            Repeater {
                model: IconNames
                RowLayout {
                    required property string modelData
                    spacing: 4
                    Layout.preferredWidth: 124
                    Icon { name: parent.modelData; size: 15; tint: Theme.accent; Layout.preferredWidth: 20 }
                    PlainText { text: parent.modelData; font: Theme.systemFont(8); color: Theme.textSecondary; elide: Text.ElideMiddle; Layout.fillWidth: true }
                }
            }
        }
    }

    Component {
        id: sheetPage
        Backdrop {
            Sheet {
                presented: true
                page: NavPage {
                    title: "添加单词"
                    leadingItems: NavBarTextButton { title: "取消" }
                    ColumnLayout {
                        x: 16; y: 16; width: parent.width - 32; spacing: 12
                        ORVInputField { iconName: "character.book.closed"; placeholder: "单词" }
                        ORVPrimaryButton { title: "保存"; iconName: "checkmark" }
                    }
                }
            }
        }
    }

    Component {
        id: alertPage
        Backdrop {
            AlertDialog {
                presented: true
                title: "删除播放列表？"
                message: "此操作无法撤销。"
                actions: [{ text: "取消", role: "cancel" }, { text: "删除", role: "destructive" }]
            }
        }
    }

    Component {
        id: confirmationPage
        Backdrop {
            ConfirmationDialog {
                presented: true
                title: "要删除这个单词吗？"
                actions: [{ text: "取消", role: "cancel" }, { text: "删除单词", role: "destructive" }, { text: "移动到其他词库" }]
            }
        }
    }
}
)QML";

struct Variant {
    const char *name;
    Theme::ColorScheme scheme;
    bool highContrast;
    Theme::ContentSize size;
};

const Variant variants[] = {
    {"light", Theme::Light, false, Theme::Large},
    {"dark", Theme::Dark, false, Theme::Large},
    {"light-contrast", Theme::Light, true, Theme::Large},
    {"dark-contrast", Theme::Dark, true, Theme::Large},
    {"light-accessibility", Theme::Light, false, Theme::AccessibilityLarge},
};

const char *pages[] = {"components", "states", "refresh", "icons", "sheet", "alert", "confirmation"};

} // namespace

class GalleryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rendersEveryComponentInEveryLook()
    {
        Theme *theme = Theme::shared();
        theme->configureNavigationBarAppearance();
        QmlSnippets snippets;
        snippets.engine().rootContext()->setContextProperty(QStringLiteral("IconNames"), talvoro::IconCatalog::names());
        auto root = snippets.create(galleryQml);
        QVERIFY2(root, qPrintable(snippets.warnings().join(u'\n')));
        auto *window = qobject_cast<QQuickWindow *>(root.get());
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));

        const QDir folder(testOutputFolder());
        for (const Variant &variant : variants) {
            theme->setColorScheme(variant.scheme);
            theme->setHighContrast(variant.highContrast);
            theme->setContentSize(variant.size);
            for (const char *page : pages) {
                window->setProperty("page", QString::fromLatin1(page));
                QTest::qWait(400); // let the entering animations finish
                const QImage image = window->grabWindow();
                QCOMPARE(image.size(), QSize(390, 844));
                const QString file = folder.filePath(QStringLiteral("design-%1-%2.png").arg(variant.name, page));
                QVERIFY(image.save(file));
            }
        }
        theme->setColorScheme(Theme::Light);
        theme->setHighContrast(false);
        theme->setContentSize(Theme::Large);
        QVERIFY2(snippets.warnings().isEmpty(), qPrintable(snippets.warnings().join(u'\n')));
    }
};

TALVORO_TEST(GalleryTest)
#include "tst_gallery.moc"
