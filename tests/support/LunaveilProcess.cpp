#include "LunaveilProcess.h"

#include <csignal>
#include <grp.h>
#include <unistd.h>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace lunaveil::test {
namespace {

// In the child, before the program runs: its user, when one is given.
void becomeUser(const std::optional<std::pair<uid_t, gid_t>>& user)
{
    if (user && (::setgroups(0, nullptr) != 0 || ::setgid(user->second) != 0 || ::setuid(user->first) != 0))
        ::_exit(127);
}

}  // namespace

LunaveilProcess::LunaveilProcess(QString program, const std::string& displayName)
    : program_(std::move(program)), displayName_(displayName)
{
    ::mkdir((home() + QStringLiteral("/runtime")).toLocal8Bit().constData(), 0700);
}

LunaveilProcess::~LunaveilProcess()
{
    if (running()) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

void LunaveilProcess::storeTint(bool trueColor, const Colour& colour, double alpha, bool scheduleNow) const
{
    SettingsDataAccess stored = settings();
    stored.setFirstTimeOpened(true);
    stored.setTrueColor(trueColor);
    if (trueColor)
        stored.setBackgroundTrueColor(colour);
    else
        stored.setBackgroundColor(colour);
    stored.setBackgroundAlpha(alpha);
    const TimePoint now = systemNow();
    stored.setScheduleIsActive(scheduleNow, now - std::chrono::hours(1), now + std::chrono::hours(1));
}

bool LunaveilProcess::runAs(uid_t uid, gid_t gid)
{
    user_ = {uid, gid};
    namespace fs = std::filesystem;
    const fs::path home = this->home().toStdString();
    bool owned = ::chown(home.c_str(), uid, gid) == 0;
    for (const auto& entry : fs::recursive_directory_iterator(home))
        owned = ::lchown(entry.path().c_str(), uid, gid) == 0 && owned;
    return owned;
}

QProcessEnvironment LunaveilProcess::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromStdString(displayName_));
    env.insert(QStringLiteral("HOME"), home());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home() + QStringLiteral("/runtime"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // Never the desktop's bus, and no autolaunched one that outlives the test.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionBus_);
    for (const auto& [name, value] : variables_) {
        if (value.isEmpty())
            env.remove(name);
        else
            env.insert(name, value);
    }
    return env;
}

std::filesystem::path LunaveilProcess::settingsFile() const
{
    return home().toStdString() + "/config/lunaveil/com.quorvex.Lunaveil.json";
}

bool LunaveilProcess::start(const QStringList& arguments, std::vector<int> ignoredSignals)
{
    process_.setChildProcessModifier([ignoredSignals, user = user_] {
        for (const int signal : ignoredSignals)
            std::signal(signal, SIG_IGN);
        becomeUser(user);
    });
    process_.setProcessEnvironment(environment());
    process_.setProcessChannelMode(captureErrors_ ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
    process_.start(program_, arguments);
    return process_.waitForStarted();
}

std::string LunaveilProcess::statusField(const std::string& name, const std::string& otherwise) const
{
    std::ifstream status("/proc/" + std::to_string(process_.processId()) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(name))
            return line.substr(name.size());
    return otherwise;
}

bool LunaveilProcess::catches(int signal) const
{
    return (std::stoull(statusField("SigCgt:", "0"), nullptr, 16) >> (signal - 1)) & 1;
}

void LunaveilProcess::send(int signal) const
{
    ::kill(static_cast<pid_t>(process_.processId()), signal);
}

int LunaveilProcess::endWith(int signal)
{
    send(signal);
    return waitForExit();
}

int LunaveilProcess::waitForExit(int milliseconds)
{
    process_.waitForFinished(milliseconds);
    return process_.state() == QProcess::NotRunning && process_.exitStatus() == QProcess::NormalExit
               ? process_.exitCode()
               : -1;
}

int LunaveilProcess::run(const QString& program, const QStringList& arguments, QString* output) const
{
    QProcess once;
    once.setChildProcessModifier([user = user_] { becomeUser(user); });
    once.setProcessEnvironment(environment());
    once.setProcessChannelMode(output != nullptr ? QProcess::MergedChannels : QProcess::ForwardedErrorChannel);
    once.start(program, arguments);
    if (!once.waitForFinished(30000)) {
        once.kill();
        once.waitForFinished();
        return -1;
    }
    if (output != nullptr)
        *output = QString::fromLocal8Bit(once.readAll());
    return once.exitStatus() == QProcess::NormalExit ? once.exitCode() : -1;
}

}  // namespace lunaveil::test
