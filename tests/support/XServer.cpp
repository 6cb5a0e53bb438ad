#include "support/XServer.h"

#include <QProcess>
#include <QStringList>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <unistd.h>

namespace lunaveil::test {
namespace {

constexpr int scriptTimeoutMs = 30'000;

}  // namespace

XServer::XServer(int monitors, RandR randr) : monitors_(monitors), randr_(randr)
{
    start({});
}

void XServer::start(const std::string& onDisplay)
{
    std::vector<std::string> arguments{"start", "--monitors", std::to_string(monitors_), "--owner",
                                       std::to_string(::getpid())};
    if (randr_ == RandR::Disabled)
        arguments.emplace_back("--without-randr");
    if (!onDisplay.empty())
        arguments.insert(arguments.end(), {"--display", onDisplay});
    const auto output = runScript(arguments);
    if (!output)
        return;
    std::istringstream words(*output);
    std::string display;
    if (words >> display && display.starts_with(':'))
        displayName_ = display;
    else
        failure_ = "virtual-desktop printed no display name: " + *output;
}

XServer::~XServer()
{
    stop();
}

void XServer::stop()
{
    if (running())
        runScript({"stop", displayName_});
    displayName_.clear();
}

bool XServer::restart()
{
    const std::string display = displayName_;
    stop();
    start(display);
    return running();
}

bool XServer::enableMonitor(int index)
{
    return running() && runScript({"monitor", displayName_, std::to_string(index), "on"}).has_value();
}

bool XServer::mirrorMonitor(int index)
{
    return running() && runScript({"monitor", displayName_, std::to_string(index), "mirror"}).has_value();
}

bool XServer::disableMonitor(int index)
{
    return running() && runScript({"monitor", displayName_, std::to_string(index), "off"}).has_value();
}

bool XServer::required()
{
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

std::optional<std::string> XServer::runScript(const std::vector<std::string>& arguments)
{
    QStringList qtArguments;
    for (const std::string& argument : arguments)
        qtArguments << QString::fromStdString(argument);

    QProcess process;
    process.start(QStringLiteral(LUNAVEIL_VIRTUAL_DESKTOP), qtArguments);
    const bool finished = process.waitForFinished(scriptTimeoutMs);
    if (!finished)
        process.kill();
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        failure_ = "scripts/virtual-desktop " + qtArguments.join(QLatin1Char(' ')).toStdString() + " failed: "
            + (process.error() == QProcess::FailedToStart ? process.errorString().toStdString()
                                                          : process.readAllStandardError().trimmed().toStdString());
        return std::nullopt;
    }
    return process.readAllStandardOutput().toStdString();
}

}  // namespace lunaveil::test
