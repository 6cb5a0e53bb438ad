// Lunaveil as a person uses it: the real program on a two-monitor X server with a tray (trayer),
// a compositor (picom) and a window manager (openbox), on a session bus of its own, driven by
// clicks and key presses through xdotool and judged by what the server and the files show:
// windows, pixels, gamma ramps, settings and the autostart entry.

#include "effects/TransferFormula.h"
#include "platform/FileLock.h"
#include "platform/x11/RandrCrtcs.h"
#include "schedule/SunTimes.h"
#include "schedule/TimeZoneLocation.h"
#include "support/Calibration.h"
#include "support/ChildProcess.h"
#include "support/FakeServer.h"
#include "support/LunaveilProcess.h"
#include "support/PrivateBus.h"
#include "support/ScreenProbe.h"
#include "support/SpinEventLoop.h"
#include "support/XServer.h"
#include "ui/PopoverColourTables.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <utility>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <xcb/xcb.h>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::LunaveilProcess;
using test::XServer;

namespace fs = std::filesystem;

// Conditions decided outside this process (windows, pixels, ramps, files), looked at every 20 ms.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s)
{
    return test::spinUntil(condition, timeout);
}

// ---- processes ---------------------------------------------------------------------------------

// A process of which this one is the parent, running or ended and not yet reaped.
struct ChildEntry {
    pid_t pid;
    std::string name;  // the kernel's short name: the program file's, cut to 15 characters
};

// While it lives, this process adopts what its descendants leave behind (the Lunaveil a
// launcher starts in a session of its own, the launcher Lunaveil starts, the Xorg of
// scripts/virtual-desktop), so that the test can count them, and reaps them at the end by pid.
class Adopter {
public:
    Adopter() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
    ~Adopter()
    {
        for (const ChildEntry& child : children())
            end(child.pid);
        ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    }
    Adopter(const Adopter&) = delete;
    Adopter& operator=(const Adopter&) = delete;

    static std::vector<ChildEntry> children(const std::string& name = {})
    {
        std::vector<ChildEntry> found;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            std::ifstream stat(entry.path() / "stat");
            std::string line;
            if (!std::getline(stat, line))
                continue;
            // "pid (name) state ppid ...": the name may hold spaces and parentheses.
            const auto open = line.find('(');
            const auto close = line.rfind(')');
            if (open == std::string::npos || close == std::string::npos || close + 2 > line.size())
                continue;
            std::istringstream rest(line.substr(close + 2));
            char state = 0;
            pid_t parent = 0;
            rest >> state >> parent;
            std::string childName = line.substr(open + 1, close - open - 1);
            if (parent == ::getpid() && (name.empty() || childName == name))
                found.push_back({static_cast<pid_t>(std::stol(line.substr(0, open))), std::move(childName)});
        }
        return found;
    }

    // Ends `pid` (SIGTERM, SIGKILL after five seconds) and reaps it; its exit status, or -1 when
    // a signal ended it.
    static int end(pid_t pid)
    {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == 0) {
            ::kill(pid, SIGTERM);
            if (!waitFor([&] { return ::waitpid(pid, &status, WNOHANG) != 0; }, 5s)) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
            }
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// Runs `program` to its end; its exit status, or -1.
int run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// ---- the popover's controls ---------------------------------------------------------------------

// Where each control sits in the popover, read from the interface file Lunaveil is built from:
// every widget there has a fixed geometry, in the coordinates of its parent.
class PopoverLayout {
public:
    PopoverLayout()
    {
        QFile file(QStringLiteral(LUNAVEIL_POPOVER_UI));
        if (!file.open(QIODevice::ReadOnly))
            return;
        QXmlStreamReader xml(&file);
        struct Widget {
            QString name;
            QPoint origin;
        };
        std::vector<Widget> widgets;
        std::vector<QString> open;  // the names of the elements from the document's down to here
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.name() == u"widget") {
                    widgets.push_back({xml.attributes().value(QStringLiteral("name")).toString(),
                                       widgets.empty() ? QPoint() : widgets.back().origin});
                } else if (xml.name() == u"property" && !open.empty() && open.back() == u"widget"
                           && xml.attributes().value(QStringLiteral("name")) == u"geometry") {
                    const QRect local = readRect(xml);
                    Widget& widget = widgets.back();
                    // The top widget is the popover itself: it starts at 0,0.
                    const QRect placed = widgets.size() == 1 ? QRect(QPoint(), local.size())
                                                             : local.translated(widget.origin);
                    widget.origin = placed.topLeft();
                    rects_[widget.name] = placed;
                    if (widgets.size() == 1)
                        size_ = placed.size();
                    continue;  // readRect took the property's end too
                }
                open.push_back(xml.name().toString());
            } else if (xml.isEndElement()) {
                if (xml.name() == u"widget")
                    widgets.pop_back();
                open.pop_back();
            }
        }
    }

    QRect rect(const QString& objectName) const
    {
        const auto found = rects_.find(objectName);
        return found != rects_.end() ? found->second : QRect();
    }
    QSize popoverSize() const { return size_; }

private:
    // From <property name="geometry"> to its end: <rect><x/><y/><width/><height/></rect>.
    static QRect readRect(QXmlStreamReader& xml)
    {
        QRect rect;
        while (!xml.atEnd() && !(xml.isEndElement() && xml.name() == u"property")) {
            xml.readNext();
            if (!xml.isStartElement() || xml.name() == u"rect")
                continue;
            const QString name = xml.name().toString();
            const int value = xml.readElementText().toInt();
            if (name == u"x")
                rect.moveLeft(value);
            else if (name == u"y")
                rect.moveTop(value);
            else if (name == u"width")
                rect.setWidth(value);
            else if (name == u"height")
                rect.setHeight(value);
        }
        return rect;
    }

    std::map<QString, QRect> rects_;
    QSize size_;
};

// Centre of swatch `index` of `count` in a swatch row of `rowSize`, from the row's top-left: the
// row lays out squares of its height less 2 on its bottom edge, with equal gaps at both ends and
// between.
QPoint swatchCentre(QSize rowSize, int count, int index)
{
    const double side = rowSize.height() - 2.0;
    const double gap = (rowSize.width() - count * side) / (count + 1);
    return {static_cast<int>(std::lround(gap + index * (side + gap) + side / 2)),
            static_cast<int>(std::lround(rowSize.height() - side / 2))};
}

// ---- values -------------------------------------------------------------------------------------

std::string hex(QRgb colour)
{
    return QStringLiteral("#%1").arg(colour & 0xffffffu, 6, 16, QLatin1Char('0')).toStdString();
}


// The Exec value of a desktop entry that runs one program without arguments, unquoted.
QString execProgram(const fs::path& entry)
{
    QFile file(QString::fromStdString(entry.native()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.startsWith("Exec="))
            continue;
        QString value = QString::fromUtf8(line.mid(5));
        if (value.size() > 1 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        return value;
    }
    return {};
}

// ---- the desktop, and Lunaveil on it ------------------------------------------------------------

class LunaveilDesktop : public testing::Test {
protected:
    void SetUp() override
    {
        server_ = std::make_unique<XServer>(2);
        if (!server_->running())
            return unavailable("no X server: " + server_->failure());
        screen_ = std::make_unique<test::ScreenProbe>(server_->displayName());
        bus_ = std::make_unique<test::PrivateBus>();
        if (bus_->address().isEmpty())
            return unavailable("no session bus of its own (dbus-daemon, package dbus)");
        lunaveil_ = std::make_unique<LunaveilProcess>(QStringLiteral(LUNAVEIL_PROGRAM), server_->displayName());
        lunaveil_->setSessionBus(bus_->address());

        const QProcessEnvironment desktop = lunaveil_->environment();
        openbox_ = std::make_unique<ChildProcess>(QStringLiteral("openbox"), QStringList{QStringLiteral("--sm-disable")},
                                                  desktop);
        if (!waitFor([&] { return screen_->hasWindowManager(); }))
            return unavailable("openbox did not start (package openbox)");
        picom_ = std::make_unique<ChildProcess>(QStringLiteral("picom"), test::picomArguments(), desktop);
        if (!waitFor([&] { return screen_->hasCompositor(); }))
            return unavailable("picom did not start (package picom)");
        trayer_ = std::make_unique<ChildProcess>(
            QStringLiteral("trayer"),
            QStringList{QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
                        QStringLiteral("--widthtype"), QStringLiteral("pixel"), QStringLiteral("--width"),
                        QStringLiteral("120"), QStringLiteral("--height"), QStringLiteral("32")},
            desktop);
        if (!waitFor([&] { return screen_->ownsSelection("_NET_SYSTEM_TRAY_S0"); }))
            return unavailable("trayer did not start (package trayer)");
        if (xdotool({QStringLiteral("version")}) != 0)
            return unavailable("xdotool does not run (package xdotool)");

        gamma_ = RandrCrtcs::create(server_->displayName().c_str());
        ASSERT_NE(gamma_, nullptr);
        calibrated_ = test::calibrateDisplays(*gamma_);
        ASSERT_EQ(calibrated_.size(), 2u);
        ASSERT_EQ(screen_->monitors().size(), 2u);
        ASSERT_FALSE(layout_.popoverSize().isEmpty()) << "cannot read " << LUNAVEIL_POPOVER_UI;
    }

    void TearDown() override
    {
        lunaveil_.reset();
        // A Lunaveil that a launcher started ends while its desktop is still there.
        for (const ChildEntry& left : Adopter::children("lunaveil"))
            Adopter::end(left.pid);
    }

    void unavailable(const std::string& why)
    {
        if (XServer::required())
            FAIL() << "the desktop for the end-to-end tests cannot start: " << why;
        GTEST_SKIP() << "the desktop for the end-to-end tests cannot start: " << why;
    }

    pid_t startLunaveil() const
    {
        EXPECT_TRUE(lunaveil_->start());
        return static_cast<pid_t>(lunaveil_->pid());
    }

    int xdotool(const QStringList& arguments) const
    {
        return run(QStringLiteral("xdotool"), arguments, lunaveil_->environment());
    }
    void click(QPoint at) const
    {
        // The server takes the move and the click in order; "--sync" would wait forever for a
        // pointer that is already there.
        ASSERT_EQ(xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                           QStringLiteral("click"), QStringLiteral("1")}),
                  0);
    }

    // The popover of Lunaveil `pid` while it is open: its top-level window of the popover's size.
    xcb_window_t popover(pid_t pid) const
    {
        return screen_->find([&](xcb_window_t window, bool inTray) {
            return !inTray && screen_->pid(window) == pid && screen_->geometry(window).size() == layout_.popoverSize();
        });
    }
    bool popoverOpen(pid_t pid) const { return popover(pid) != XCB_NONE; }
    // The options menu opens by its button, over the popover: a pop-up of Lunaveil's smaller than
    // the popover and over it (the tint's overlays cover whole monitors).
    bool optionsMenuOpen(pid_t pid) const
    {
        const QRect over = screen_->geometry(popover(pid));
        return screen_->find([&](xcb_window_t window, bool inTray) {
            const QRect rect = screen_->geometry(window);
            return !inTray && screen_->pid(window) == pid && screen_->isOverrideRedirect(window) && rect.intersects(over)
                && rect.width() * rect.height() < over.width() * over.height();
        }) != XCB_NONE;
    }
    xcb_window_t greetings(pid_t pid) const
    {
        return screen_->find([&](xcb_window_t window, bool) {
            return screen_->pid(window) == pid && screen_->title(window) == QStringLiteral("Welcome to Lunaveil");
        });
    }
    bool greetingsShown(pid_t pid) const { return greetings(pid) != XCB_NONE; }

    // Where the open popover of `pid` stands once it rests: for a moment after it opens it
    // follows the icon the tray is still placing.
    QRect restingPopover(pid_t pid) const
    {
        QRect last;
        int polls = 0;
        waitFor([&] {
            const QRect now = screen_->geometry(popover(pid));
            polls = !now.isEmpty() && now == last ? polls + 1 : 0;
            last = now;
            return polls >= 10;
        }, 5s);
        return last;
    }
    // Clicks control `objectName` of the open popover at `offset` from its top-left corner, or
    // at its centre.
    void clickControl(pid_t pid, const QString& objectName, std::optional<QPoint> offset = std::nullopt) const
    {
        const QRect control = layout_.rect(objectName);
        ASSERT_FALSE(control.isEmpty()) << "no control " << objectName.toStdString() << " in the popover";
        const QRect popoverRect = restingPopover(pid);
        ASSERT_FALSE(popoverRect.isEmpty()) << "the popover is not open";
        click(popoverRect.topLeft() + control.topLeft() + offset.value_or(control.center() - control.topLeft()));
    }
    // A check box is clicked on its box, at its left edge and half its height.
    void clickCheckBox(pid_t pid, const QString& objectName) const
    {
        clickControl(pid, objectName, QPoint(7, layout_.rect(objectName).height() / 2));
    }
    void clickTrayIcon(pid_t pid) const
    {
        xcb_window_t icon = XCB_NONE;
        ASSERT_TRUE(waitFor([&] {
            icon = screen_->find([&](xcb_window_t window, bool inTray) { return inTray && screen_->pid(window) == pid; });
            return icon != XCB_NONE;
        })) << "Lunaveil has no icon in the tray";
        click(screen_->geometry(icon).center());
    }
    // Whether the icon in the tray is drawn white: light pixels and no dark ones but the tray's.
    bool trayIconIsWhite(pid_t pid) const
    {
        const xcb_window_t icon
            = screen_->find([&](xcb_window_t window, bool inTray) { return inTray && screen_->pid(window) == pid; });
        const QRect rect = screen_->geometry(icon);
        int white = 0;
        for (int y = rect.top(); y <= rect.bottom(); y += 2)
            for (int x = rect.left(); x <= rect.right(); x += 2)
                white += qGray(screen_->pixel(x, y).value_or(0)) > 0xe0 ? 1 : 0;
        return icon != XCB_NONE && white >= 4;
    }
    void quitFromTheOptionsMenu(pid_t pid) const
    {
        clickControl(pid, QStringLiteral("menuButtonOutlet"));
        ASSERT_TRUE(waitFor([&] { return optionsMenuOpen(pid); })) << "the options menu did not open";
        ASSERT_EQ(xdotool({QStringLiteral("key"), QStringLiteral("q")}), 0);
    }

    bool everyDisplayShowsFormula(const Colour& colour, double alpha) const
    {
        const auto crtcs = test::crtcIds(*gamma_);
        return !crtcs.empty() && std::all_of(crtcs.begin(), crtcs.end(), [&](CrtcId crtc) {
            const auto ramp = gamma_->getRamp(crtc);
            return ramp && *ramp == rampFromFormula(ramp->size(), *trueColorFormula(colour, alpha));
        });
    }

    bool displaysCalibrated() const
    {
        return std::all_of(calibrated_.begin(), calibrated_.end(),
                           [&](const auto& entry) { return gamma_->getRamp(entry.first) == entry.second; });
    }

    Adopter adopter_;  // first in, last out: it reaps what the members below leave behind
    std::unique_ptr<XServer> server_;
    std::unique_ptr<test::ScreenProbe> screen_;
    std::unique_ptr<test::PrivateBus> bus_;
    std::unique_ptr<ChildProcess> openbox_;
    std::unique_ptr<ChildProcess> picom_;
    std::unique_ptr<ChildProcess> trayer_;
    std::unique_ptr<RandrCrtcs> gamma_;
    std::map<CrtcId, GammaRamp> calibrated_;
    std::unique_ptr<LunaveilProcess> lunaveil_;
    const PopoverLayout layout_;
};

TEST_F(LunaveilDesktop, FirstStartGreetsFirstAClickOnGetStartedReachesItThroughThePopoverAndTheIconTogglesIt)
{
    // A panel that asks for white icons, as a dark XFCE panel does.
    std::vector<std::uint32_t> trayColours(12, 0);
    std::fill_n(trayColours.begin(), 3, 0xffff);
    screen_->setOnSelectionOwner("_NET_SYSTEM_TRAY_S0", "_NET_SYSTEM_TRAY_COLORS", trayColours);
    const pid_t pid = startLunaveil();
    ASSERT_TRUE(waitFor([&] { return greetingsShown(pid); })) << "no greetings window";
    EXPECT_FALSE(waitFor([&] { return popoverOpen(pid); }, 1s)) << "the popover opened over the greetings";
    EXPECT_TRUE(screen_->hasProperty(greetings(pid), "_NET_WM_ICON")) << "the greetings window has no icon";
    EXPECT_TRUE(lunaveil_->settings().getFirstTimeOpened()) << "the greeting is not remembered";

    // The icon opens the popover over the greetings all the same; one click on "Get Started"
    // (bottom right, inside the window's margins) closes both, and the popover the start asked
    // for follows.
    const QRect greeted = screen_->geometry(greetings(pid));
    clickTrayIcon(pid);
    ASSERT_TRUE(waitFor([&] { return popoverOpen(pid); })) << "a click on the icon did not open the popover";
    click(greeted.bottomRight() - QPoint(28 + 24, 20 + 10));
    EXPECT_TRUE(waitFor([&] { return !greetingsShown(pid); })) << "the click that closed the popover missed Get Started";
    ASSERT_TRUE(waitFor([&] { return popoverOpen(pid); })) << "the popover did not follow the greetings";

    clickTrayIcon(pid);
    EXPECT_TRUE(waitFor([&] { return !popoverOpen(pid); })) << "a click on the icon left the popover open";
    clickTrayIcon(pid);
    EXPECT_TRUE(waitFor([&] { return popoverOpen(pid); })) << "the next click on the icon did not open it again";
    clickTrayIcon(pid);
    EXPECT_TRUE(waitFor([&] { return !popoverOpen(pid); })) << "a third click did not close it";
    EXPECT_TRUE(waitFor([&] { return trayIconIsWhite(pid); })) << "the icon does not follow the tray's colours";
    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);
}

TEST_F(LunaveilDesktop, TheSwitchBlendsTheTintOverEveryWindowClicksGoThroughAndTrueColorsAndInvertColorsSetTheRamps)
{
    // A known background in the middle of each monitor, away from the tray and the popover.
    constexpr QRgb background = qRgb(20, 40, 200);
    const auto monitors = screen_->monitors();
    for (const QRect& monitor : monitors)
        screen_->paintBackground(monitor.center().x() - 100, monitor.center().y() - 100, 200, 200, background);
    constexpr QRgb tint = qRgb(66, 172, 227);
    lunaveil_->storeTint(false, Colour::rgb(qRed(tint) / 255.0, qGreen(tint) / 255.0, qBlue(tint) / 255.0), 40, false);
    const pid_t pid = startLunaveil();
    ASSERT_TRUE(waitFor([&] { return popoverOpen(pid); })) << "the popover did not open by itself";

    const auto shows = [&](QRgb expected) {
        return std::all_of(monitors.begin(), monitors.end(), [&](const QRect& monitor) {
            const auto shown = screen_->pixel(monitor.center().x(), monitor.center().y());
            return shown && test::near(*shown, expected);
        });
    };
    const auto whatIsShown = [&](QRgb expected) {
        std::string text = "expected " + hex(expected) + ", shown";
        for (const QRect& monitor : monitors)
            text += " " + hex(screen_->pixel(monitor.center().x(), monitor.center().y()).value_or(0));
        return text;
    };
    ASSERT_TRUE(waitFor([&] { return shows(background); })) << whatIsShown(background);
    const auto rampBefore = gamma_->getRamp(test::crtcIds(*gamma_).front());
    // Between the slider and the schedule: the popover's own background.
    const QPoint inPopover = restingPopover(pid).topLeft() + QPoint(200, 145);
    const auto popoverPixel = screen_->pixel(inPopover.x(), inPopover.y());
    ASSERT_TRUE(popoverPixel);

    clickCheckBox(pid, QStringLiteral("lunaveilCheckboxOutlet"));
    const QRgb tinted = test::blend(background, tint, 0.40);
    EXPECT_TRUE(waitFor([&] { return shows(tinted); })) << "after the switch: " << whatIsShown(tinted);
    const auto popoverTinted = screen_->pixel(inPopover.x(), inPopover.y());
    EXPECT_TRUE(popoverTinted && test::near(*popoverTinted, *popoverPixel))
        << "the tint covers the popover: " << hex(popoverTinted.value_or(0)) << " for " << hex(*popoverPixel);
    EXPECT_TRUE(gamma_->getRamp(test::crtcIds(*gamma_).front()) == rampBefore) << "a blended tint leaves the ramps alone";

    // A click on the slider's groove right of its handle moves the handle up.
    const QRect slider = layout_.rect(QStringLiteral("alphaSlideviewOutlet"));
    clickControl(pid, QStringLiteral("alphaSlideviewOutlet"), QPoint(slider.width() - 4, slider.height() / 2));
    ASSERT_TRUE(waitFor([&] { return lunaveil_->settings().getBackgroundAlpha() > 40; }))
        << "the slider stored no stronger tint";
    const QRgb stronger = test::blend(background, tint, lunaveil_->settings().getBackgroundAlpha() / 100);
    EXPECT_TRUE(waitFor([&] { return shows(stronger); })) << "at the stored strength: " << whatIsShown(stronger);

    // A window another program maps now, which openbox raises and focuses, goes under the tint all
    // the same, and a click on it goes through the tint to it.
    const QRect second = monitors.at(1);
    QProcess xev;
    xev.setProcessEnvironment(lunaveil_->environment());
    // Line by line: into a pipe, xev would keep its reports in its buffer.
    xev.start(QStringLiteral("stdbuf"), {QStringLiteral("-oL"), QStringLiteral("xev"), QStringLiteral("-event"), QStringLiteral("button"),
                                         QStringLiteral("-geometry"),
                                         QStringLiteral("200x200+%1+%2").arg(second.left() + 100).arg(second.bottom() - 300)});
    QRect target;
    ASSERT_TRUE(waitFor([&] {
        target = screen_->geometry(screen_->find([&](xcb_window_t window, bool) { return screen_->title(window) == QStringLiteral("Event Tester"); }));
        return !target.isEmpty();
    })) << "xev shows no window (package x11-utils)";
    const QPoint inTarget = target.center() + QPoint(20, 20);  // clear of xev's own inner window
    EXPECT_TRUE(waitFor([&] {
        const auto shown = screen_->pixel(inTarget.x(), inTarget.y());
        return shown && test::near(*shown, test::blend(qRgb(255, 255, 255), tint, lunaveil_->settings().getBackgroundAlpha() / 100));
    })) << "a window mapped later stands above the tint";
    clickTrayIcon(pid);  // the open popover would take the click, as a pop-up does
    ASSERT_TRUE(waitFor([&] { return !popoverOpen(pid); }));
    click(inTarget);
    QByteArray reported;
    EXPECT_TRUE(waitFor([&] {
        xev.waitForReadyRead(50);
        reported += xev.readAllStandardOutput();
        return reported.contains("ButtonRelease");
    })) << "the click stayed in the tint";
    xev.kill();
    xev.waitForFinished();

    // True Colors, on while the tint runs, takes the tint to the ramps, and the red swatch of its
    // row reaches them at the slider's strength.
    clickTrayIcon(pid);
    ASSERT_TRUE(waitFor([&] { return popoverOpen(pid); }));
    clickCheckBox(pid, QStringLiteral("trueColorsCheckboxOutlet"));
    const double alpha = lunaveil_->settings().getBackgroundAlpha();
    ASSERT_TRUE(waitFor([&] { return everyDisplayShowsFormula(lunaveil_->settings().getBackgroundTrueColor(), alpha); }))
        << "True Colors did not tint through the ramps";
    const auto row = PopoverColourTables::trueColors();
    const auto red = std::find(row.begin(), row.end(), Colour::redColor());
    ASSERT_NE(red, row.end());
    const QSize rowSize = layout_.rect(QStringLiteral("roundedViewCheckGroupOutlet")).size();
    clickControl(pid, QStringLiteral("roundedViewCheckGroupOutlet"),
                 swatchCentre(rowSize, static_cast<int>(row.size()), static_cast<int>(red - row.begin())));
    EXPECT_TRUE(waitFor([&] { return everyDisplayShowsFormula(Colour::redColor(), alpha); }))
        << "the red swatch did not reach the ramps";
    EXPECT_TRUE(lunaveil_->settings().getBackgroundTrueColor() == Colour::redColor());

    clickCheckBox(pid, QStringLiteral("inverseColorsCheckboxOutlet"));
    EXPECT_TRUE(waitFor([&] {
        return std::all_of(calibrated_.begin(), calibrated_.end(), [&](const auto& entry) {
            return gamma_->getRamp(entry.first) == rampFromTable(entry.second.size(), invertedTable, invertedTable, invertedTable);
        });
    })) << "Invert Colors did not reach the ramps";
    quitFromTheOptionsMenu(pid);
    EXPECT_EQ(lunaveil_->waitForExit(), 0);
    EXPECT_TRUE(displaysCalibrated()) << "the displays did not get their own ramps back";
}

// Lunaveil from a terminal and a script: the command line and the bus interface switch and set
// the tint as the popover would, the popover shows it, and the bus hears of the popover's changes.
TEST_F(LunaveilDesktop, TheCommandLineAndTheBusDriveTheTintAndThePopoverShowsIt)
{
    lunaveil_->storeTint(true, Colour::redColor(), 30, false);
    QString said;
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--status")}, &said), 1);
    EXPECT_TRUE(said.contains(QStringLiteral("not running"))) << said.toStdString();
    const pid_t pid = startLunaveil();
    ASSERT_TRUE(waitFor([&] { return popoverOpen(pid); })) << "the popover did not open by itself";
    const QRect light = layout_.rect(QStringLiteral("lunaveilStatusLightViewOutlet"));
    const auto lightShows = [&] {
        const QPoint at = restingPopover(pid).topLeft() + light.center();
        const QRgb shown = screen_->pixel(at.x(), at.y()).value_or(0);
        return qGreen(shown) > qRed(shown) + 60;
    };
    ASSERT_FALSE(lightShows());

    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--toggle")}), 0);
    EXPECT_TRUE(waitFor([&] { return everyDisplayShowsFormula(Colour::redColor(), 30); })) << "--toggle tinted nothing";
    EXPECT_TRUE(waitFor(lightShows)) << "the popover's status light does not show the tint";

    QProcess busctl;
    busctl.setProcessEnvironment(lunaveil_->environment());
    busctl.start(QStringLiteral("busctl"), {QStringLiteral("--user"), QStringLiteral("monitor"), QStringLiteral("com.quorvex.Lunaveil")});
    ASSERT_TRUE(busctl.waitForStarted());
    const QStringList object{QStringLiteral("--user"), QStringLiteral("set-property"), QStringLiteral("com.quorvex.Lunaveil"),
                             QStringLiteral("/com/quorvex/Lunaveil"), QStringLiteral("com.quorvex.Lunaveil1")};
    EXPECT_EQ(run(QStringLiteral("busctl"), object + QStringList{QStringLiteral("Opacity"), QStringLiteral("d"), QStringLiteral("50")},
                  lunaveil_->environment()),
              0);
    EXPECT_TRUE(waitFor([&] { return everyDisplayShowsFormula(Colour::redColor(), 50); })) << "Opacity reached no ramp";
    EXPECT_EQ(lunaveil_->settings().getBackgroundAlpha(), 50.0);
    EXPECT_NE(run(QStringLiteral("busctl"), object + QStringList{QStringLiteral("ScheduleStart"), QStringLiteral("s"), QStringLiteral("25:99")},
                  lunaveil_->environment()),
              0) << "an impossible time was taken";
    EXPECT_NE(run(QStringLiteral("busctl"), object + QStringList{QStringLiteral("Opacity"), QStringLiteral("s"), QStringLiteral("half")},
                  lunaveil_->environment()),
              0) << "a text was taken for the opacity";
    EXPECT_EQ(lunaveil_->settings().getBackgroundAlpha(), 50.0);

    // The slider in the popover: the bus hears of it.
    const QRect slider = layout_.rect(QStringLiteral("alphaSlideviewOutlet"));
    clickControl(pid, QStringLiteral("alphaSlideviewOutlet"), QPoint(4, slider.height() / 2));
    EXPECT_TRUE(waitFor([&] { return lunaveil_->settings().getBackgroundAlpha() < 50; }));
    // By the slider's own value: the monitor may have come up too late for the bus's own change.
    const QByteArray slid = "DOUBLE " + QByteArray::number(lunaveil_->settings().getBackgroundAlpha()) + ";";
    QByteArray heard;
    EXPECT_TRUE(waitFor([&] {
        busctl.waitForReadyRead(50);
        heard += busctl.readAllStandardOutput();
        return heard.contains("PropertiesChanged") && heard.contains(slid);
    })) << heard.toStdString();
    busctl.kill();
    busctl.waitForFinished();

    ASSERT_EQ(lunaveil_->runOnce({QStringLiteral("--status"), QStringLiteral("--json")}, &said), 0);
    const QJsonObject status = QJsonDocument::fromJson(said.toUtf8()).object();
    EXPECT_TRUE(status.value(QStringLiteral("TintEnabled")).toBool()) << said.toStdString();
    EXPECT_EQ(status.value(QStringLiteral("Opacity")).toDouble(), lunaveil_->settings().getBackgroundAlpha());
    EXPECT_EQ(status.value(QStringLiteral("Colour")).toArray().size(), 3);

    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--off")}), 0);
    EXPECT_TRUE(waitFor([&] { return displaysCalibrated(); })) << "--off left the ramps changed";
    EXPECT_TRUE(waitFor([&] { return !lightShows(); }));
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--quit")}), 0);
    EXPECT_EQ(lunaveil_->waitForExit(), 0);
}

// Sunset to Sunrise in a time zone where the sun has set: the tint is on from the start, and off
// in one where it is up, the schedule's own times (around now) notwithstanding.
TEST_F(LunaveilDesktop, FollowingTheSunTheTintStartsAtLaunchWhereTheSunHasSet)
{
    const auto nightIn = [](const char* zone) -> std::optional<bool> {
        const QByteArray previous = qgetenv("TZ");
        qputenv("TZ", zone);
        ::tzset();
        const ZoneLocation location = systemZoneLocation();
        const TimePoint now = systemNow();
        std::optional<bool> night;
        // Away from a boundary, so that the answer holds while the test runs.
        if (location.coordinates && isNightAt(*location.coordinates, now) == isNightAt(*location.coordinates, now + std::chrono::minutes(10)))
            night = isNightAt(*location.coordinates, now);
        previous.isNull() ? qunsetenv("TZ") : qputenv("TZ", previous);
        ::tzset();
        return night;
    };
    std::map<bool, const char*> zones;
    for (const char* zone : {"Europe/Berlin", "Asia/Tokyo", "America/New_York", "Australia/Sydney", "Asia/Kolkata",
                             "America/Los_Angeles", "Pacific/Auckland", "Africa/Lagos"})
        if (const auto night = nightIn(zone))
            zones.emplace(*night, zone);
    ASSERT_EQ(zones.size(), 2u) << "no zone where the sun is down and one where it is up";

    for (const bool night : {true, false}) {
        SCOPED_TRACE(zones[night]);
        lunaveil_->storeTint(true, Colour::redColor(), 35, false);
        // The schedule's own times say the opposite.
        const TimePoint now = systemNow();
        SettingsDataAccess stored = lunaveil_->settings();
        stored.setScheduleIsActive(true, now + std::chrono::hours(night ? 2 : -1), now + std::chrono::hours(night ? 3 : 1));
        stored.setScheduleFollowsSun(true);
        lunaveil_->setVariable(QStringLiteral("TZ"), QString::fromLatin1(zones[night]));
        startLunaveil();
        EXPECT_EQ(waitFor([&] { return everyDisplayShowsFormula(Colour::redColor(), 35); }, night ? 10s : 3s), night);
        EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);
        EXPECT_TRUE(displaysCalibrated());
    }
}

// The UI on this desktop, the tint on a wlroots compositor's outputs: as in a sway session with
// XWayland, whose outputs here take gamma tables.
TEST_F(LunaveilDesktop, OnAWlrootsCompositorInvertColorsReachesItsOutputsAndQuitFromTheMenuGivesThemBack)
{
    test::FakeGammaCompositor compositor({QStringLiteral("FAKE-1:256")});
    ASSERT_TRUE(compositor.running()) << "the fake compositor did not start";
    lunaveil_->storeTint(true, Colour::orangeColor(), 25, false);
    lunaveil_->setVariable(QStringLiteral("WAYLAND_DISPLAY"), compositor.socket());
    lunaveil_->setVariable(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("sway"));
    // The pointer in the bottom right corner of the second monitor.
    const QRect monitor = screen_->monitors().at(1);
    ASSERT_EQ(xdotool({QStringLiteral("mousemove"), QString::number(monitor.right() - 2), QString::number(monitor.bottom() - 2)}), 0);
    const pid_t pid = startLunaveil();
    // No tray host answers for a Wayland session here: the popover opens as a window, framed and
    // whole on the monitor under the pointer.
    ASSERT_TRUE(waitFor([&] { return popoverOpen(pid); })) << "the popover did not open by itself";
    EXPECT_TRUE(waitFor([&] {
        const QRect frame = screen_->frameGeometry(popover(pid));
        return frame.height() > layout_.popoverSize().height() && monitor.contains(frame);
    })) << "the window stands out of its monitor: " << screen_->frameGeometry(popover(pid)).bottom() << " > " << monitor.bottom();

    clickCheckBox(pid, QStringLiteral("inverseColorsCheckboxOutlet"));
    EXPECT_TRUE(compositor.saw(test::FakeServer::tableLine(
        "FAKE-1", rampFromTable(256, invertedTable, invertedTable, invertedTable))))
        << "Invert Colors did not reach the output: " << compositor.said();
    quitFromTheOptionsMenu(pid);
    EXPECT_EQ(lunaveil_->waitForExit(), 0);
    EXPECT_TRUE(compositor.saw("restore FAKE-1")) << compositor.said();
    EXPECT_TRUE(displaysCalibrated()) << "the X server's ramps were written";
}

TEST_F(LunaveilDesktop, StartAtLoginRegistersTheLauncherWhichStartsOneLunaveil)
{
    lunaveil_->storeTint(false, Colour::orangeColor(), 25, false);
    const pid_t first = startLunaveil();
    ASSERT_TRUE(waitFor([&] { return popoverOpen(first); })) << "the popover did not open by itself";

    clickCheckBox(first, QStringLiteral("startAtLoginCheckboxOutlet"));
    const fs::path entry = lunaveil_->home().toStdString() + "/config/autostart/com.quorvex.LunaveilLauncher.desktop";
    ASSERT_TRUE(waitFor([&] { return fs::exists(entry); })) << "no autostart entry";
    EXPECT_TRUE(lunaveil_->settings().getStartAtLogin());
    const QString exec = execProgram(entry);
    std::error_code ec;
    EXPECT_EQ(fs::canonical(exec.toStdString(), ec), fs::canonical(LUNAVEIL_LAUNCHER)) << "Exec=" << exec.toStdString();
    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);

    // As at login: the entry's program starts Lunaveil in a session of its own, and ends.
    const fs::path lock = lunaveil_->home().toStdString() + "/runtime/com.quorvex.Lunaveil.lock";
    ASSERT_FALSE(FileLock::isHeldElsewhere(lock));
    QDBusConnection bus = QDBusConnection::connectToBus(bus_->address(), QStringLiteral("desktop-test"));
    const auto onTheBus = [&] { return bus.interface()->isServiceRegistered(QStringLiteral("com.quorvex.Lunaveil")).value(); };
    ASSERT_EQ(run(exec, {}, lunaveil_->environment()), 0);
    ASSERT_TRUE(waitFor([&] { return FileLock::isHeldElsewhere(lock) && onTheBus(); })) << "the launcher started no Lunaveil";
    const auto started = Adopter::children("lunaveil");
    ASSERT_EQ(started.size(), 1u);
    const pid_t running = started.front().pid;

    // Lunaveil runs, so the launcher leaves it at that. Had it started another, that one would
    // be a process of this test's now, running or ended.
    ASSERT_EQ(run(exec, {}, lunaveil_->environment()), 0);
    EXPECT_EQ(Adopter::children("lunaveil").size(), 1u) << "the launcher started a second Lunaveil";

    // Started at login, it keeps its popover closed; a start by hand asks the running Lunaveil
    // to open it, and ends.
    EXPECT_TRUE(waitFor([&] {
        return screen_->find([&](xcb_window_t window, bool inTray) { return inTray && screen_->pid(window) == running; })
            != XCB_NONE;
    })) << "Lunaveil has no icon in the tray";
    EXPECT_FALSE(waitFor([&] { return popoverOpen(running); }, 1s)) << "the popover opened at login";
    EXPECT_EQ(lunaveil_->runOnce({}), 0);
    EXPECT_TRUE(waitFor([&] { return popoverOpen(running); })) << "the running Lunaveil did not open its popover";
    EXPECT_EQ(Adopter::children("lunaveil").size(), 1u);

    EXPECT_EQ(Adopter::end(running), 0) << "Lunaveil ends with status 0 on SIGTERM";
    QDBusConnection::disconnectFromBus(QStringLiteral("desktop-test"));
}

}  // namespace
}  // namespace lunaveil
