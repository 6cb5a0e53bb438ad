// The floor of idle cost for a tray program: a Qt application with a tray icon and nothing else,
// no timer and no window. scripts/bench counts its wake-ups and CPU beside Lunaveil's, so what
// Qt, the tray protocol and the display server cost at rest is not laid at Lunaveil's door.
// With --check-ramps it also reads every ramp in use in one round trip a second
// (bench/RampCheck.h): the floor of a tray program holding True Colors on X11.

#include "RampCheck.h"

#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>
#include <optional>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QSystemTrayIcon icon(QIcon(QStringLiteral(LUNAVEIL_BENCH_ICON)));
    icon.setToolTip(QStringLiteral("bare tray"));
    icon.show();

    std::optional<lunaveil::bench::RampCheck> check;
    QTimer everySecond;
    if (QApplication::arguments().contains(QStringLiteral("--check-ramps"))) {
        check.emplace();
        if (!check->connected()) {
            std::fputs("bare_tray: no X display with RandR gamma\n", stderr);
            return 1;
        }
        QObject::connect(&everySecond, &QTimer::timeout, [&check] { check->unchanged(); });
        everySecond.start(1000);
    }
    return QApplication::exec();
}
