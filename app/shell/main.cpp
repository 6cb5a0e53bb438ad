// Lunaveil: tints every screen at night from the system tray.

#include "effects/QtOverlayScreens.h"
#include "effects/QtScheduler.h"
#include "platform/CompositorWatch.h"
#include "platform/DurableFile.h"
#include "platform/FileLock.h"
#include "platform/RunningInstance.h"
#include "platform/ProcessSignals.h"
#include "platform/XdgDirectories.h"
#include "settings/Constants.h"
#include "shell/AppDelegate.h"
#include "shell/CommandLine.h"
#include "shell/DisplayServices.h"
#include "shell/ProductionServices.h"

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

namespace {

using namespace lunaveil;

std::filesystem::path instanceLockPath()
{
    return runtimeDirectory() / (std::string(Constants::BUNDLE_ID) + ".lock");
}

// `lunaveil --reset`: undo what a Lunaveil that did not quit properly left on the displays.
int resetDisplays(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (FileLock::isHeldElsewhere(instanceLockPath())) {
        std::fputs("Lunaveil is running; it gives the displays back their colours when it quits.\n", stderr);
        return 1;
    }
    DisplayServices displays;
    if (displays.backlight().restoreFromRecord())
        std::puts("Lunaveil: the backlights have their own brightness back.");
    if (displays.transfer() == nullptr) {
        std::fputs("Lunaveil: no X display to reset (is DISPLAY set?).\n", stderr);
        return 1;
    }
    if (displays.transfer()->restoreFromJournal())
        std::puts("Lunaveil: the displays have their own colours back.");
    else
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

// The lock that makes this the one Lunaveil of the session; empty when another one holds it.
std::optional<FileLock> takeInstanceLock()
{
    makeDirectories(runtimeDirectory());
    const auto path = instanceLockPath();
    // The launcher probes the lock with a brief shared lock; a start at that moment tries again.
    for (int attempt = 0; attempt < 50; ++attempt) {
        FileLock lock(path, FileLock::Mode::TryOnly);
        if (lock.held())
            return lock;
        if (FileLock::isHeldElsewhere(path))
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::fprintf(stderr, "Lunaveil: cannot take the lock %s; another start could run beside this one.\n", path.c_str());
    return FileLock(path, FileLock::Mode::TryOnly);
}

int run(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lunaveil"));
    QApplication::setApplicationVersion(QStringLiteral(LUNAVEIL_VERSION));
    QApplication::setDesktopFileName(QString::fromUtf8(Constants::BUNDLE_ID.data(), Constants::BUNDLE_ID.size()));
    QApplication::setQuitOnLastWindowClosed(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    const std::optional<FileLock> instance = takeInstanceLock();
    if (!instance) {
        // One Lunaveil per session: the running one opens its popover instead.
        if (RunningInstance::requestShowPopover())
            std::fputs("Lunaveil is already running; its popover is open.\n", stderr);
        else
            std::fputs("Lunaveil is already running.\n", stderr);
        return 0;
    }

    DisplayServices displays;
    if (displays.transfer() != nullptr && displays.transfer()->restoreFromJournal())
        std::fputs("Lunaveil: gave the displays back the colours an earlier run left changed.\n", stderr);
    if (displays.backlight().restoreFromRecord())
        std::fputs("Lunaveil: gave the backlights back the brightness an earlier run left lowered.\n", stderr);
    if (displays.gamma() != nullptr) {
        displays.gamma()->onConnectionLost = [] {
            std::fputs("Lunaveil: the X11 display went away; Lunaveil ends.\n", stderr);
            QCoreApplication::exit(1);
        };
    }
    displaysInUse = &displays;
    std::atexit(giveDisplaysBackAtExit);

    // Only X11 leaves translucency to a compositor that may or may not run.
    const auto compositor = QGuiApplication::platformName() == QStringLiteral("xcb")
                                ? std::make_unique<CompositorWatch>()
                                : std::unique_ptr<CompositorWatch>();
    QtScheduler scheduler;
    QtOverlayScreens screens;
    const int status = [&] {
        AppDelegate delegate(productionServices(displays, compositor.get(), scheduler, screens));
        const RunningInstance door([&delegate] {
            if (PresetersMainHub* hub = delegate.presentersMainHub())
                hub->showPopover();
        });
        // Logout, kill, Ctrl+C and Ctrl+\ take the same orderly way out as the Quit entry.
        const ProcessSignals signals([] { QCoreApplication::exit(0); },
                                     [&delegate] {
                                         if (PresetersMainHub* hub = delegate.presentersMainHub())
                                             hub->toggleTint();
                                     });
        // The delegate starts once the event loop runs, as "did finish launching".
        QTimer::singleShot(0, &application, [&delegate] {
            delegate.applicationDidFinishLaunching(QApplication::arguments());
        });
        return QApplication::exec();
    }();
    // Gamma outlives the process on X11: every display gets its own colours back before Lunaveil ends.
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
    case CommandLineAction::Run:
        break;
    }
    return run(argc, argv);
}
