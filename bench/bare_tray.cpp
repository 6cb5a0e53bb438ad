// The floor of idle cost for a tray program: a Qt application with a tray icon and nothing else,
// no timer and no window. scripts/bench counts its wake-ups and CPU beside Lunaveil's, so what
// Qt, the tray protocol and the display server cost at rest is not laid at Lunaveil's door.

#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QSystemTrayIcon icon(QIcon(QStringLiteral(LUNAVEIL_BENCH_ICON)));
    icon.setToolTip(QStringLiteral("bare tray"));
    icon.show();
    return QApplication::exec();
}
