// mutter-pointer: a pointer of Mutter's, through org.gnome.Mutter.RemoteDesktop on the session
// bus, that clicks where it is told. Reads lines "X Y WIDTH HEIGHT" from stdin, as wayland-pointer
// does: a left click at (X, Y), answered "clicked" once Mutter has taken it. Absolute motion needs
// a screen cast stream (and PipeWire), so the pointer goes to the top-left corner first, where it
// stops, and moves from there. The remote desktop session lives as long as the program.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

namespace {

constexpr int leftButton = 0x110;  // BTN_LEFT

const QString service = QStringLiteral("org.gnome.Mutter.RemoteDesktop");

QDBusMessage call(const QString& path, const QString& interface, const QString& method, const QList<QVariant>& arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message);
}

bool failed(const QDBusMessage& reply, const char* what)
{
    if (reply.type() == QDBusMessage::ReplyMessage)
        return false;
    std::fprintf(stderr, "mutter-pointer: %s: %s\n", what, qPrintable(reply.errorMessage()));
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QDBusMessage created = call(QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), service,
                                      QStringLiteral("CreateSession"));
    if (failed(created, "no remote desktop session"))
        return 1;
    const QString session = created.arguments().value(0).value<QDBusObjectPath>().path();
    const QString sessionInterface = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");
    if (failed(call(session, sessionInterface, QStringLiteral("Start")), "the session did not start"))
        return 1;
    const auto move = [&](double dx, double dy) {
        return !failed(call(session, sessionInterface, QStringLiteral("NotifyPointerMotionRelative"), {dx, dy}),
                       "no motion");
    };
    const auto button = [&](bool pressed) {
        return !failed(call(session, sessionInterface, QStringLiteral("NotifyPointerButton"), {leftButton, pressed}),
                       "no button");
    };
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        int x = 0, y = 0, width = 0, height = 0;
        if (!(words >> x >> y >> width >> height) || x < 0 || y < 0 || x >= width || y >= height) {
            std::cout << "usage: X Y WIDTH HEIGHT (X < WIDTH, Y < HEIGHT)" << std::endl;
            continue;
        }
        // Mutter finds the surface under the pointer as it paints the next frame: a button that
        // comes at once goes where the pointer was.
        const auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); };
        if (!move(-2.0 * width, -2.0 * height) || !move(x, y))
            return 1;
        settle();
        if (!button(true) || !button(false))
            return 1;
        settle();
        std::cout << "clicked" << std::endl;
    }
    call(session, sessionInterface, QStringLiteral("Stop"));
    return 0;
}
