// Lunaveil: tints every screen at night from the system tray.

#include "shell/AppDelegate.h"
#include "shell/ProductionServices.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lunaveil"));
    QApplication::setApplicationVersion(QStringLiteral(LUNAVEIL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("com.quorvex.Lunaveil"));
    QApplication::setQuitOnLastWindowClosed(lunaveil::AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    lunaveil::AppDelegate delegate(lunaveil::productionServices());
    // The delegate starts once the event loop runs, as "did finish launching".
    QTimer::singleShot(0, &application, [&delegate] { delegate.applicationDidFinishLaunching(QApplication::arguments()); });
    return QApplication::exec();
}
