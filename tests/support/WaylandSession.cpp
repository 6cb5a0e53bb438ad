#include "support/WaylandSession.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <array>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

namespace lunaveil::test {
namespace {

constexpr int timeoutMs = 30'000;

// Each compositor's name to scripts/virtual-desktop, and its desktop's in XDG_CURRENT_DESKTOP.
constexpr std::array<std::pair<const char*, const char*>, 3> names{{{"sway", "sway"}, {"kwin", "KDE"}, {"mutter", "GNOME"}}};

}  // namespace

WaylandSession::WaylandSession(int outputs, Compositor compositor) : compositor_(compositor)
{
    QProcess script;
    script.start(QStringLiteral(LUNAVEIL_VIRTUAL_DESKTOP),
                 {QStringLiteral("wayland-start"), QStringLiteral("--outputs"), QString::number(outputs),
                  QStringLiteral("--owner"), QString::number(::getpid()), QStringLiteral("--compositor"),
                  QString::fromLatin1(names[static_cast<std::size_t>(compositor)].first)});
    if (!script.waitForFinished(timeoutMs) || script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0) {
        failure_ = "virtual-desktop wayland-start failed: " + script.readAllStandardError().trimmed().toStdString();
        return;
    }
    const QStringList words = QString::fromLocal8Bit(script.readAllStandardOutput()).split(QLatin1Char(' '),
                                                                                        Qt::SkipEmptyParts);
    if (words.size() != 5) {
        failure_ = "virtual-desktop printed no session: " + words.join(QLatin1Char(' ')).toStdString();
        return;
    }
    xDisplay_ = words[1];
    swaysock_ = words[3];
    state_ = words[4].trimmed();
    QFile ready(state_ + QStringLiteral("/ready"));
    if (ready.open(QIODevice::ReadOnly))
        sessionBus_ = QString::fromUtf8(ready.readAll()).split(QLatin1Char(' ')).value(1).trimmed();
    struct stat owner {};
    ::stat(state_.toLocal8Bit().constData(), &owner);
    uid_ = owner.st_uid;
    gid_ = owner.st_gid;
    socket_ = words[0];
    // The seat has its pointer from the start: a client (XWayland too) that binds it only when a
    // click is already under way misses where the click enters.
    if (compositor == Compositor::Sway) {
        pointer_.setProcessEnvironment(environment());
        pointer_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        pointer_.start(QStringLiteral(LUNAVEIL_WAYLAND_POINTER), {});
        if (!pointer_.waitForStarted())
            failure_ = "the test's virtual pointer did not start";
    }
}

WaylandSession::~WaylandSession()
{
    pointer_.kill();
    pointer_.waitForFinished();
    if (running())
        run(QStringLiteral(LUNAVEIL_VIRTUAL_DESKTOP), {QStringLiteral("wayland-stop"), state_});
}

QProcessEnvironment WaylandSession::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket_);
    env.insert(QStringLiteral("DISPLAY"), xDisplay_);
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QString::fromLatin1(names[static_cast<std::size_t>(compositor_)].second));
    if (compositor_ == Compositor::Sway)
        env.insert(QStringLiteral("SWAYSOCK"), swaysock_);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionBus_);
    return env;
}

QByteArray WaylandSession::run(const QString& program, const QStringList& arguments, bool* ok) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, arguments);
    const bool finished = process.waitForFinished(timeoutMs);
    if (ok != nullptr)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

std::vector<WaylandSession::Output> WaylandSession::outputs() const
{
    std::vector<Output> outputs;
    const QByteArray listed =
        run(QStringLiteral("swaymsg"), {QStringLiteral("-r"), QStringLiteral("-t"), QStringLiteral("get_outputs")});
    for (const QJsonValue output : QJsonDocument::fromJson(listed).array()) {
        const QJsonObject rect = output[QLatin1String("rect")].toObject();
        outputs.push_back({output[QLatin1String("name")].toString(),
                           QRect(rect[QLatin1String("x")].toInt(), rect[QLatin1String("y")].toInt(),
                                 rect[QLatin1String("width")].toInt(), rect[QLatin1String("height")].toInt())});
    }
    return outputs;
}

bool WaylandSession::swaymsg(const QString& command) const
{
    bool ok = false;
    run(QStringLiteral("swaymsg"), {command}, &ok);
    return ok;
}

QImage WaylandSession::screenshot() const
{
    bool ok = false;
    const QByteArray shot = run(QStringLiteral("grim"), {QStringLiteral("-t"), QStringLiteral("ppm"), QStringLiteral("-")}, &ok);
    return ok ? QImage::fromData(shot, "PPM") : QImage();
}

std::optional<QRgb> WaylandSession::pixel(QPoint point) const
{
    const QImage image = screenshot();
    if (!image.rect().contains(point))
        return std::nullopt;
    return image.pixel(point) | 0xff000000u;
}

bool WaylandSession::click(int x, int y) const
{
    QRect layout;
    for (const Output& output : outputs())
        layout |= output.rect;
    pointer_.write(QStringLiteral("%1 %2 %3 %4\n").arg(x).arg(y).arg(layout.right() + 1).arg(layout.bottom() + 1).toUtf8());
    while (!pointer_.canReadLine()) {
        if (!pointer_.waitForReadyRead(timeoutMs))
            return false;
    }
    return pointer_.readLine().trimmed() == "clicked";
}

}  // namespace lunaveil::test
