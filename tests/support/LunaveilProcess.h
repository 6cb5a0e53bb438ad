#pragma once
// The real lunaveil program under test, with a home, settings and runtime folder of its own.

#include "settings/SettingsDataAccess.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <filesystem>
#include <map>
#include <optional>
#include <sys/types.h>
#include <utility>
#include <string>
#include <vector>

namespace lunaveil::test {

class LunaveilProcess {
public:
    // `program` is the built lunaveil; it runs on `displayName` with no session bus unless one is given.
    LunaveilProcess(QString program, const std::string& displayName);
    ~LunaveilProcess();
    LunaveilProcess(const LunaveilProcess&) = delete;
    LunaveilProcess& operator=(const LunaveilProcess&) = delete;

    void setSessionBus(const QString& address) { sessionBus_ = address; }
    // Sets (or, when empty, removes) a variable of the program's environment over the defaults.
    void setVariable(const QString& name, const QString& value) { variables_[name] = value; }
    // Runs the program as this user, its home then the user's; for sessions that refuse root.
    // False when the home could not be handed over.
    bool runAs(uid_t uid, gid_t gid);
    QProcessEnvironment environment() const;
    QString home() const { return home_.path(); }
    std::filesystem::path settingsFile() const;
    // The settings store the program reads at start, to prepare or inspect.
    SettingsDataAccess settings() const { return SettingsDataAccess(settingsFile()); }
    // Stores a tint to start with: greeted already, and a schedule that holds the present minute
    // (the tint comes on at the first tick) or not.
    void storeTint(bool trueColor, const Colour& colour, double alpha, bool scheduleNow) const;

    // Keeps what the program writes to stderr for errors() instead of passing it on.
    void captureErrors() { captureErrors_ = true; }
    QString errors() { return QString::fromLocal8Bit(process_.readAllStandardError()); }
    // Its resident memory in kB (VmRSS), or 0 when it cannot be read.
    long residentKilobytes() const { return std::stol(statusField("VmRSS:", "0")); }

    // Starts the long-running program with `ignoredSignals` ignored, as nohup would; false when it could not start.
    bool start(const QStringList& arguments = {}, std::vector<int> ignoredSignals = {});
    // Whether the program has a handler of its own for `signal` (SigCgt in /proc).
    bool catches(int signal) const;
    void send(int signal) const;
    bool running() const { return process_.state() == QProcess::Running; }
    qint64 pid() const { return process_.processId(); }
    // Sends `signal` and waits for the end; the exit status, or -1 when it did not exit normally.
    int endWith(int signal);
    // Waits for the program to end by itself; the exit status, or -1.
    int waitForExit(int milliseconds = 15000);
    // Runs `program` (xdotool, busctl, the launcher) in the program's environment to its end, or
    // for at most 30 s; its exit status, or -1. With `output`, what it wrote to stdout and stderr
    // goes there instead.
    int run(const QString& program, const QStringList& arguments, QString* output = nullptr) const;
    // Runs a further lunaveil process to its end with `arguments`, as run() does.
    int runOnce(const QStringList& arguments, QString* output = nullptr) const { return run(program_, arguments, output); }

private:
    // A field of /proc/<pid>/status, or `otherwise` when it cannot be read.
    std::string statusField(const std::string& name, const std::string& otherwise) const;

    QString program_;
    std::string displayName_;
    QString sessionBus_ = QStringLiteral("unix:path=/nonexistent/lunaveil-test-bus");
    const QTemporaryDir home_;
    QProcess process_;
    bool captureErrors_ = false;
    std::map<QString, QString> variables_;
    std::optional<std::pair<uid_t, gid_t>> user_;
};

}  // namespace lunaveil::test
