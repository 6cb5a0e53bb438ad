#include "support/PrivateBus.h"

#include <QFile>

#include <csignal>
#include <sys/prctl.h>

namespace lunaveil::test {
namespace {

// Anyone on this bus may own any name and call anything, as the tests need.
constexpr char busConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

constexpr int startTimeoutMs = 10000;

}  // namespace

PrivateBus::PrivateBus()
{
    if (!folder_.isValid())
        return;
    QFile config(folder_.filePath(QStringLiteral("bus.conf")));
    if (!config.open(QIODevice::WriteOnly)
        || config.write(QString::fromUtf8(busConfig).arg(folder_.filePath(QStringLiteral("socket"))).toUtf8()) < 0)
        return;
    config.close();

    // A test that crashes or is killed by its timeout must not leave the daemon behind.
    daemon_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                   QStringLiteral("--config-file=") + config.fileName()});
    if (!daemon_.waitForStarted(startTimeoutMs))
        return;
    // The address is printed once the daemon listens.
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(startTimeoutMs)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    if (daemon_.state() == QProcess::NotRunning)
        return;
    daemon_.terminate();
    if (!daemon_.waitForFinished(startTimeoutMs)) {
        daemon_.kill();
        daemon_.waitForFinished();
    }
}

}  // namespace lunaveil::test
