#include "SystemConfigurationService.h"

#include "login/DesktopEntry.h"
#include "platform/DurableFile.h"
#include "platform/UniqueFd.h"
#include "platform/XdgDirectories.h"
#include "settings/Constants.h"

#include <QProcess>
#include <QtDebug>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <utility>

namespace lunaveil {
namespace {

namespace fs = std::filesystem;

// The running program, with symbolic links resolved; empty when /proc cannot tell.
fs::path ownProgram()
{
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self;
}

}  // namespace

SystemConfigurationService::SystemConfigurationService()
    : SystemConfigurationService(launcherBeside(ownProgram()), configHome())
{
}

SystemConfigurationService::SystemConfigurationService(fs::path launcher, fs::path configHome)
    : launcher_(std::move(launcher)), configHome_(std::move(configHome))
{
}

fs::path SystemConfigurationService::launcherBeside(const fs::path& program)
{
    if (program.empty())
        return {};
    return program.parent_path().parent_path() / "libexec" / "lunaveil" / "lunaveil-launcher";
}

fs::path SystemConfigurationService::entryPath() const
{
    return configHome_ / "autostart" / (std::string(Constants::HELPER_BUNDLE_ID) + ".desktop");
}

std::optional<std::string> SystemConfigurationService::startAtLogin(bool enabled)
{
    return enabled ? registerLauncher() : unregisterLauncher();
}

std::optional<std::string> SystemConfigurationService::registerLauncher() const
{
    const auto refuse = [](std::string reason) {
        qWarning("Lunaveil: cannot start at login: %s", reason.c_str());
        return std::optional(std::move(reason));
    };
    if (launcher_.empty())
        return refuse("Lunaveil cannot tell where it is installed (/proc/self/exe).");
    if (::access(launcher_.c_str(), X_OK) != 0)
        return refuse("the launcher " + launcher_.native() + " is missing or not executable (" + std::strerror(errno) +
                      ").");
    if (const auto problem = execPathProblem(launcher_.native()))
        return refuse("the programs that start others at login cannot run the launcher " + launcher_.native() +
                      ", as " + *problem + ".");
    const fs::path entry = entryPath();
    if (!makeDirectories(entry.parent_path()) || !writeFileDurably(entry, *autostartEntry(launcher_.native()), 0644))
        return refuse("cannot write " + entry.native() + " (" + std::strerror(errno) + ").");

    // As a login would: the launcher starts Lunaveil unless it runs, which it does now.
    QProcess launcher;
    launcher.setProgram(QString::fromStdString(launcher_.native()));
    launcher.setStandardInputFile(QProcess::nullDevice());
    if (!launcher.startDetached())
        qWarning("Lunaveil: the launcher %s did not start", launcher_.c_str());
    return std::nullopt;
}

std::optional<std::string> SystemConfigurationService::unregisterLauncher() const
{
    const fs::path entry = entryPath();
    if (::unlink(entry.c_str()) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        std::string reason = "cannot remove " + entry.native() + " (" + std::strerror(errno) + ").";
        qWarning("Lunaveil: cannot stop starting at login: %s", reason.c_str());
        return reason;
    }
    // The removal holds across a crash only once the folder is on disk.
    const UniqueFd folder(::open(entry.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder)
        ::fsync(folder.get());
    return std::nullopt;
}

}  // namespace lunaveil
