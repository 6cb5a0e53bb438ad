// The tray item: its open and closed states, its icon, and where the popover opens.

#include "ui/PopupSystem.h"
#include "ui/PopoverViewController.h"

#include "support/PrivateBus.h"
#include "support/SpinEventLoop.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QFile>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QMutex>
#include <QThread>
#include <QCursor>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

namespace lunaveil {
namespace {

QIcon solid(Qt::GlobalColor colour)
{
    QPixmap pixmap(22, 22);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

class PopupSystemTest : public ::testing::Test {
protected:
    void make(bool trayRuns = true, TrayIcon::Kind kind = TrayIcon::Kind::EmbeddedIcon)
    {
        item = std::make_unique<PopupSystem>(controller, black, white, [trayRuns] { return trayRuns; },
                                             [this] { return dark; }, kind);
        item->onWillShowPopover = [this] { ++willShow; };
        item->onWillClosePopover = [this] { ++willClose; };
    }
    qint64 shownIcon() const { return item->statusItem().icon().cacheKey(); }
    QWidget& popover() { return *controller.view(); }
    void clickOutside(bool release = true)
    {
        QTest::mousePress(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
        if (release)
            QTest::mouseRelease(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
    }

    PopoverViewController controller;
    const QIcon black = solid(Qt::black);
    const QIcon white = solid(Qt::white);
    bool dark = false;
    std::unique_ptr<PopupSystem> item;
    int willShow = 0;
    int willClose = 0;
};

TEST_F(PopupSystemTest, RequestsAndClicksOnTheIconOpenAndCloseThePopoverWithTheIconFollowing)
{
    make();
    item->hidePopover();  // while closed: nothing, and nothing of the popover is built
    EXPECT_EQ(willClose, 0);
    EXPECT_FALSE(controller.isViewLoaded());
    EXPECT_EQ(shownIcon(), black.cacheKey());

    item->showPopover();
    item->showPopover();  // opens once, but both are told
    EXPECT_EQ(willShow, 2);
    EXPECT_TRUE(item->isActive());
    EXPECT_TRUE(popover().isVisible());
    EXPECT_EQ(popover().windowType(), Qt::Popup);
    EXPECT_EQ(shownIcon(), item->highlightedImage().cacheKey());

    TrayIcon& icon = item->statusItem();
    Q_EMIT icon.activated(QSystemTrayIcon::Trigger, std::nullopt);
    EXPECT_FALSE(item->isActive());
    EXPECT_FALSE(popover().isVisible());
    EXPECT_EQ(willClose, 1);
    // Of two quick presses the tray reports the second as a double click: a click all the same.
    Q_EMIT icon.activated(QSystemTrayIcon::DoubleClick, std::nullopt);
    Q_EMIT icon.activated(QSystemTrayIcon::Context, std::nullopt);  // only the left button clicks the item
    Q_EMIT icon.activated(QSystemTrayIcon::MiddleClick, std::nullopt);
    EXPECT_TRUE(item->isActive());
    dark = true;  // the panel's darkness is asked afresh whenever the item is drawn
    item->hidePopover();
    EXPECT_EQ(shownIcon(), white.cacheKey());

    item->hidePopoverService();
    EXPECT_FALSE(item->statusItem().isVisible());
    item->showPopoverService();
    EXPECT_TRUE(item->statusItem().isVisible());
}

TEST_F(PopupSystemTest, AClickOutsideClosesThePopoverAndOnlyThatSameClickCannotReopenIt)
{
    make();
    item->showPopover();
    clickOutside(false);
    EXPECT_FALSE(popover().isVisible());
    EXPECT_FALSE(item->isActive());
    EXPECT_EQ(willClose, 1);
    EXPECT_EQ(shownIcon(), black.cacheKey());
    // When that press was on the item itself, it reaches the item next: it must not reopen.
    item->mouseDown();
    EXPECT_FALSE(item->isActive());
    QTest::mouseRelease(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
    item->mouseDown();
    EXPECT_TRUE(item->isActive());

    // An XEmbed tray never passes the closing click on, so the next press on the item, however
    // soon, is a click of its own...
    clickOutside();
    ASSERT_FALSE(item->isActive());
    item->mouseDown();
    EXPECT_TRUE(item->isActive());
    // ... also when the closing click's release is lost: the item's press is another one.
    clickOutside(false);
    ASSERT_FALSE(item->isActive());
    QWidget icon;
    QTest::mousePress(&icon, Qt::LeftButton, {}, QPoint(4, 4));
    item->mouseDown();
    EXPECT_TRUE(item->isActive());
    EXPECT_EQ(willShow, 4);
}

TEST_F(PopupSystemTest, WithoutATrayThePopoverOpensByItselfAsAnOrdinaryWindow)
{
    make(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(willShow, 1);
    EXPECT_TRUE(item->isActive());
    EXPECT_TRUE(popover().isVisible());
    EXPECT_EQ(popover().windowType(), Qt::Window);

    popover().close();  // the item counts as closed, ready to open it again
    EXPECT_FALSE(item->isActive());
    EXPECT_EQ(willClose, 1);
}

TEST_F(PopupSystemTest, OpensAtThePointerWhereTheTrayGivesNoPlace)
{
    make();
    QCursor::setPos(QApplication::primaryScreen()->geometry().topLeft() + QPoint(200, 150));
    item->showPopover();
    EXPECT_EQ(popover().pos(), PopupSystem::popoverPosition(QRect(QCursor::pos(), QSize(1, 1)), popover().size(),
                                                            QApplication::primaryScreen()->availableGeometry()));
}

// The watcher a panel runs, answering in a thread of its own: the item asks it while the test
// waits on the item.
class NotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)

public:
    bool hostRegistered() const { return true; }
    QStringList registered() const
    {
        const QMutexLocker lock(&mutex_);
        return registered_;
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service)
    {
        const QMutexLocker lock(&mutex_);
        registered_ << service;
    }

private:
    mutable QMutex mutex_;
    QStringList registered_;
};

// A panel's host on the session bus, over a connection of its own: its watcher, and the calls a
// host makes on the item, awaited with the test's event loop running.
class NotifierHost {
public:
    NotifierHost() : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("host")))
    {
        bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher_, QDBusConnection::ExportAllContents);
        watcher_.moveToThread(&thread_);
        thread_.start();
        bus_.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    ~NotifierHost()
    {
        bus_.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
        QDBusConnection::disconnectFromBus(QStringLiteral("host"));
        thread_.quit();
        thread_.wait();
    }
    QStringList registered() const { return watcher_.registered(); }
    bool owned(const QString& service) const { return bus_.interface()->isServiceRegistered(service); }
    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& arguments = {}) const
    {
        QDBusMessage message = QDBusMessage::createMethodCall(registered().value(0), QStringLiteral("/StatusNotifierItem"),
                                                              interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = bus_.asyncCall(message);
        test::spinUntil([&] { return pending.isFinished(); });
        return pending.reply();
    }
    QDBusMessage activate(QPoint where) const
    {
        return call(QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Activate"), {where.x(), where.y()});
    }
    QVariant property(const QString& name) const
    {
        return call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                    {QStringLiteral("org.kde.StatusNotifierItem"), name})
            .arguments().value(0).value<QDBusVariant>().variant();
    }

private:
    QDBusConnection bus_;
    QThread thread_;
    NotifierWatcher watcher_;
};

TEST_F(PopupSystemTest, AsAStatusNotifierItemItRegistersShowsItsPixelsOpensAndLeavesWhenHidden)
{
    // This test's process makes the private bus its session bus before anything connects to one.
    const test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toLocal8Bit());
    NotifierHost host;
    make(true, TrayIcon::Kind::NotifierItem);
    ASSERT_TRUE(test::spinUntil([&] { return !host.registered().isEmpty(); })) << "the item never registered";
    EXPECT_TRUE(item->statusItem().isAvailable());

    // The host draws the icon from its pixels: ARGB in network byte order, black here.
    const auto pixmaps = host.property(QStringLiteral("IconPixmap")).value<QDBusArgument>();
    int width = 0;
    int height = 0;
    QByteArray pixels;
    pixmaps.beginArray();
    pixmaps.beginStructure();
    pixmaps >> width >> height >> pixels;
    EXPECT_GT(width, 0);
    ASSERT_EQ(pixels.size(), width * height * 4);
    EXPECT_EQ(pixels.left(4), QByteArray::fromHex("ff000000"));
    EXPECT_EQ(host.property(QStringLiteral("Status")).toString(), QStringLiteral("Active"));
    // And by name, from the icon folder beside the program, for hosts that recolour it.
    const QString name = host.property(QStringLiteral("IconName")).toString();
    EXPECT_EQ(name, QStringLiteral("com.quorvex.Lunaveil-symbolic"));
    EXPECT_TRUE(QFile::exists(host.property(QStringLiteral("IconThemePath")).toString()
                              + QStringLiteral("/hicolor/symbolic/apps/") + name + QStringLiteral(".svg")));

    // A click the host reports opens the popover; where is proved on swaybar, end to end.
    EXPECT_EQ(host.activate(QPoint(100, 100)).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(test::spinUntil([&] { return item->isActive(); }));
    EXPECT_EQ(host.property(QStringLiteral("IconName")).toString(), QString()) << "the highlight is in the pixels";

    const QString service = host.registered().front();
    item->hidePopoverService();
    EXPECT_TRUE(test::spinUntil([&] { return !host.owned(service); })) << "a hidden item kept its bus name";
    item->showPopoverService();
    EXPECT_TRUE(test::spinUntil([&] { return host.owned(service) && host.registered().size() == 2; }));
}

TEST_F(PopupSystemTest, MissingIconImagesGiveADrawnIconRatherThanNone)
{
    PopupSystem withoutImages(controller, QIcon(), QIcon(), [] { return true; }, [] { return false; },
                              TrayIcon::Kind::EmbeddedIcon);
    EXPECT_FALSE(withoutImages.statusItem().icon().pixmap(22, 22).toImage().isNull());
}

TEST(PopoverPositionTest, CentredUnderTheIconAndKeptOnItsScreen)
{
    const QSize popover(320, 272);
    const QRect screen(0, 0, 1280, 1024);
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(1000, 0, 24, 24), popover, screen), QPoint(852, 24));
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(1260, 0, 20, 24), popover, screen), QPoint(960, 24));  // right edge
    // Above an icon on a floating bottom panel, and on a second screen to the right.
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(600, 960, 24, 24), popover, QRect(0, 0, 1280, 1000)),
              QPoint(452, 688));
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(2000, 0, 24, 24), popover, QRect(1280, 0, 1920, 1080)),
              QPoint(1852, 24));
}

}  // namespace
}  // namespace lunaveil

#include "popup_system_test.moc"
