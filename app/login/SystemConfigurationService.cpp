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

void SystemConfigurationService::startAtLogin(bool enabled)
{
    if (enabled)
        registerLauncher();
    else
        unregisterLauncher();
}

void SystemConfigurationService::registerLauncher() const
{
    if (launcher_.empty()) {
        qWarning("Lunaveil: cannot start at login: cannot tell where Lunaveil is installed (/proc/self/exe)");
        return;
    }
    if (::access(launcher_.c_str(), X_OK) != 0) {
        qWarning("Lunaveil: cannot start at login: the launcher %s is missing or not executable (%s)",
                 launcher_.c_str(), std::strerror(errno));
        return;
    }
    if (const auto problem = execPathProblem(launcher_.native())) {
        qWarning("Lunaveil: cannot start at login: a desktop entry cannot name the launcher %s, as %s",
                 launcher_.c_str(), problem->c_str());
        return;
    }
    const fs::path entry = entryPath();
    if (!makeDirectories(entry.parent_path()) || !writeFileDurably(entry, *autostartEntry(launcher_.native()), 0644)) {
        qWarning("Lunaveil: cannot start at login: cannot write %s (%s)", entry.c_str(), std::strerror(errno));
        return;
    }

    // As a login would: the launcher starts Lunaveil unless it runs, which it does now.
    QProcess launcher;
    launcher.setProgram(QString::fromStdString(launcher_.native()));
    launcher.setStandardInputFile(QProcess::nullDevice());
    if (!launcher.startDetached())
        qWarning("Lunaveil: the launcher %s did not start", launcher_.c_str());
}

void SystemConfigurationService::unregisterLauncher() const
{
    const fs::path entry = entryPath();
    if (::unlink(entry.c_str()) != 0) {
        if (errno != ENOENT)
            qWarning("Lunaveil: cannot stop starting at login: cannot remove %s (%s)", entry.c_str(),
                     std::strerror(errno));
        return;
    }
    // The removal holds across a crash only once the folder is on disk.
    const UniqueFd folder(::open(entry.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder)
        ::fsync(folder.get());
}

}  // namespace lunaveil
