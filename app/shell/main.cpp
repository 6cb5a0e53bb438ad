// Lunaveil: tints every screen at night from the system tray.

#include "effects/QtOverlayScreens.h"
#include "effects/QtScheduler.h"
#include "platform/FileLock.h"
#include "platform/GeoClueLocation.h"
#include "platform/RunningInstance.h"
#include "platform/ProcessSignals.h"
#include "platform/RuntimeFolder.h"
#include "settings/Constants.h"
#include "shell/AppDelegate.h"
#include "shell/CommandLine.h"
#include "shell/DisplayServices.h"
#include "shell/LunaveilService.h"
#include "shell/RemoteControl.h"
#include "shell/ProductionServices.h"
#include "ui/Resources.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <thread>
#include <unistd.h>

namespace {

using namespace lunaveil;

std::string instanceLockName()
{
    return std::string(Constants::BUNDLE_ID) + ".lock";
}

// The folder of the gamma journals, inside the runtime folder.
std::shared_ptr<const RuntimeFolder> journalFolder(const RuntimeFolder& runtime)
{
    return std::make_shared<const RuntimeFolder>(runtime.subfolder("lunaveil"));
}

// `lunaveil --reset`: undo what a Lunaveil that did not quit properly left on the displays.
int resetDisplays(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const RuntimeFolder runtime = RuntimeFolder::forSession();
    if (FileLock::isHeldElsewhere(runtime.openFile(instanceLockName(), O_RDONLY))) {
        std::fputs("Lunaveil is running; it gives the displays back their colours when it quits.\n", stderr);
        return 1;
    }
    DisplayServices displays(journalFolder(runtime), std::nullopt);
    if (displays.backlight().restoreFromRecord())
        std::puts("Lunaveil: the backlights have their own brightness back.");
    if (!displays.platform().capabilities().transfer) {
        std::fputs("Lunaveil: this session offers no display gamma to reset.\n", stderr);
        return 1;
    }
    const GammaRecovery recovery = displays.platform().restoreAfterCrash();
    // Only a folder every run finds again can hold what a run that died left.
    const bool searched = runtime.kind() == RuntimeFolder::Kind::Named;
    if (!searched)
        std::fprintf(stderr, "Lunaveil: %s; where a run that died kept its journal cannot be known.\n",
                     runtime.problem().c_str());
    else if (!runtime.problem().empty())
        std::fprintf(stderr, "Lunaveil: %s.\n", runtime.problem().c_str());
    if (recovery.restored && recovery.complete) {
        std::puts("Lunaveil: the displays have their own colours back.");
        return 0;
    }
    if (recovery.restored) {
        std::puts("Lunaveil: gave back what it could; a display may still be left changed (see above).");
        return 1;
    }
    if (!recovery.complete || !searched) {
        std::puts("Lunaveil: nothing was restored; a display may still be left changed (see above).");
        return 1;
    }
    std::puts("Lunaveil: no display was left changed; nothing to restore.");
    return 0;
}

// The displays while Lunaveil runs; the exit handler below gives them back.
DisplayServices* displaysInUse = nullptr;

// The toolkit ends the process by exit() when its own X connection breaks while the server
// lives (xkill on a Lunaveil window). Gamma outlives the process, so that ends like a quit too.
void giveDisplaysBackAtExit()
{
    if (displaysInUse == nullptr || !displaysInUse->reachable())
        return;
    displaysInUse->giveBack();
    std::fputs("Lunaveil: its windows lost the display; the displays have their own colours back.\n", stderr);
    std::_Exit(0);
}

// The lock that makes this the one Lunaveil of the session; empty when another one holds it, and
// a lock not held when none can be taken (this run then keeps a journal of its own).
std::optional<FileLock> takeInstanceLock(const RuntimeFolder& runtime)
{
    const std::string name = instanceLockName();
    if (!runtime.usable())
        return FileLock(UniqueFd());
    // The launcher probes the lock with a brief shared lock; a start at that moment tries again.
    for (int attempt = 0; attempt < 50; ++attempt) {
        UniqueFd file = runtime.openFile(name, O_RDWR | O_CREAT);
        if (!file) {
            std::fprintf(stderr, "Lunaveil: cannot open the lock %s: %s; another start could run beside this one.\n",
                         (runtime.path() / name).c_str(), std::strerror(errno));
            return FileLock(UniqueFd());
        }
        FileLock lock(std::move(file));
        if (lock.held())
            return lock;
        if (FileLock::isHeldElsewhere(runtime.openFile(name, O_RDONLY)))
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::fprintf(stderr, "Lunaveil: cannot take the lock %s; another start could run beside this one.\n",
                 (runtime.path() / name).c_str());
    return FileLock(runtime.openFile(name, O_RDWR));
}

// Says once why the runtime folder is not the usual one, and what that costs.
void reportRuntimeFolder(const RuntimeFolder& runtime)
{
    switch (runtime.kind()) {
    case RuntimeFolder::Kind::Named:
        if (!runtime.problem().empty())
            std::fprintf(stderr, "Lunaveil: %s.\n", runtime.problem().c_str());
        break;
    case RuntimeFolder::Kind::Private:
        std::fprintf(stderr, "Lunaveil: %s; should Lunaveil crash, the displays could not be given their "
                             "colours back.\n", runtime.problem().c_str());
        break;
    case RuntimeFolder::Kind::None:
        std::fprintf(stderr, "Lunaveil: %s; Lunaveil runs without its instance lock and gamma journal.\n",
                     runtime.problem().c_str());
        break;
    }
}

// On a Wayland session with XWayland, Lunaveil's windows are X windows: Qt's Wayland plugin makes
// the popover an ordinary toplevel that the compositor tiles and places where it likes, while an
// X pop-up opens under the pointer and closes at a click elsewhere. The tint does not depend on
// it: it goes through Lunaveil's own Wayland connection. A platform the user chose stays.
void preferXWaylandForWindows()
{
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && !qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb;wayland");
}

int run(int argc, char* argv[])
{
    preferXWaylandForWindows();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lunaveil"));
    QApplication::setApplicationVersion(QStringLiteral(LUNAVEIL_VERSION));
    QApplication::setDesktopFileName(QString::fromUtf8(Constants::BUNDLE_ID.data(), Constants::BUNDLE_ID.size()));
    // Every window of Lunaveil's carries its icon, for window lists, docks and switchers.
    QApplication::setWindowIcon(loadIcon(QApplication::desktopFileName()));
    QApplication::setQuitOnLastWindowClosed(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());
    installTranslations(application);

    const RuntimeFolder runtime = RuntimeFolder::forSession();
    reportRuntimeFolder(runtime);
    const std::optional<FileLock> instance = takeInstanceLock(runtime);
    if (!instance) {
        // One Lunaveil per session: the running one opens its popover instead.
        if (RunningInstance::requestShowPopover())
            std::fputs("Lunaveil is already running; its popover is open.\n", stderr);
        else
            std::fputs("Lunaveil is already running.\n", stderr);
        return 0;
    }

    // Without the lock, journals of this run alone: a second run must never remove the first's.
    DisplayServices displays(journalFolder(runtime),
                             instance->held() ? std::nullopt : std::optional<pid_t>(::getpid()));
    if (displays.platform().restoreAfterCrash().restored)
        std::fputs("Lunaveil: gave the displays back the colours an earlier run left changed.\n", stderr);
    if (displays.backlight().restoreFromRecord())
        std::fputs("Lunaveil: gave the backlights back the brightness an earlier run left lowered.\n", stderr);
    displays.platform().onConnectionLost = [] {
        std::fputs("Lunaveil: the display went away; Lunaveil ends.\n", stderr);
        QCoreApplication::exit(1);
    };
    displaysInUse = &displays;
    std::atexit(giveDisplaysBackAtExit);

    QtScheduler scheduler;
    // Overlay windows only where the platform keeps them click-through and on top: its own, or
    // else the toolkit's.
    OverlayScreens* screens = displays.platform().overlayScreens();
    std::unique_ptr<QtOverlayScreens> qtScreens;
    if (screens == nullptr && displays.platform().capabilities().overlays) {
        // Every other window of the application is Lunaveil's own: the popover and what it opens.
        qtScreens = std::make_unique<QtOverlayScreens>([] {
            const QWindowList windows = QGuiApplication::topLevelWindows();
            return std::vector<QWindow*>(windows.begin(), windows.end());
        });
        screens = qtScreens.get();
    }
    const int status = [&] {
        GeoClueLocation geoClue;
        AppDelegate delegate(productionServices(displays, scheduler, screens, geoClue));
        LunaveilService service([&delegate] { return delegate.presentersMainHub(); });
        LunaveilBusObject busObject(service);
        const RunningInstance door(busObject);
        // Logout, kill, Ctrl+C and Ctrl+\ take the same orderly way out as the Quit entry.
        const ProcessSignals signals([] { QCoreApplication::exit(0); },
                                     [&delegate] {
                                         if (PresetersMainHub* hub = delegate.presentersMainHub())
                                             hub->toggleTint();
                                     });
        // The delegate starts once the event loop runs, as "did finish launching".
        QTimer::singleShot(0, &application, [&delegate, &service, &geoClue] {
            delegate.applicationDidFinishLaunching(QApplication::arguments());
            PresetersMainHub* hub = delegate.presentersMainHub();
            hub->onStateChanged = [&service] { service.stateChanged(); };
            service.stateChanged();
            QObject::connect(&geoClue, &GeoClueLocation::placeChanged, &geoClue, [hub] { hub->onLocatedPlaceChanged(); });
        });
        return QApplication::exec();
    }();
    // Gamma can outlive the process: every display gets its own colours back before Lunaveil ends.
    displays.giveBack();
    displaysInUse = nullptr;
    return status;
}

}  // namespace

int main(int argc, char* argv[])
{
    ProcessSignals::install();
    const std::vector<std::string_view> arguments(argv, argv + argc);
    switch (commandLineAction(arguments)) {
    case CommandLineAction::Help:
        std::fputs(usageText().data(), stdout);
        return 0;
    case CommandLineAction::Version:
        std::printf("lunaveil %s\n", LUNAVEIL_VERSION);
        return 0;
    case CommandLineAction::Reset:
        return resetDisplays(argc, argv);
    case CommandLineAction::TintOn:
    case CommandLineAction::TintOff:
    case CommandLineAction::Toggle:
    case CommandLineAction::Status:
    case CommandLineAction::Quit: {
        const QCoreApplication client(argc, argv);
        return remoteControl(commandLineAction(arguments), commandLineAsksForJson(arguments), stdout, stderr);
    }
    case CommandLineAction::Run:
        break;
    }
    return run(argc, argv);
}
