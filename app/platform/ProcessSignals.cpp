#include "ProcessSignals.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace lunaveil {
namespace {

constexpr std::array terminationSignals{SIGTERM, SIGINT, SIGHUP, SIGQUIT};
constexpr std::array ignoredSignals{SIGPIPE, SIGUSR2, SIGALRM};

// The self-pipe: the handler may only write a byte; the main thread does the rest. It lives as
// long as the process, so a signal during the exit still lands somewhere harmless.
int pipeFds[2] = {-1, -1};

extern "C" void onSignal(int signal)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto written = ::write(pipeFds[1], &byte, 1);
    errno = savedErrno;
}

bool inheritedIgnored(int signal)
{
    struct sigaction current {};
    return ::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

void ProcessSignals::install()
{
    for (const int signal : ignoredSignals)
        std::signal(signal, SIG_IGN);
    if (pipeFds[0] >= 0)
        return;
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fputs("Lunaveil: cannot watch for termination signals; quit from the menu to restore the displays.\n",
                   stderr);
        return;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : terminationSignals) {
        // SIGTERM is how a session ends its programs: it is always answered.
        if (signal != SIGTERM && inheritedIgnored(signal))
            continue;
        ::sigaction(signal, &action, nullptr);
    }
    ::sigaction(SIGUSR1, &action, nullptr);
}

ProcessSignals::ProcessSignals(std::function<void()> onTerminationRequested, std::function<void()> onToggleTintRequested)
    : onTerminationRequested_(std::move(onTerminationRequested)),
      onToggleTintRequested_(std::move(onToggleTintRequested))
{
    if (pipeFds[0] < 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { readSignals(); });
}

ProcessSignals::~ProcessSignals() = default;

void ProcessSignals::readSignals()
{
    unsigned char byte = 0;
    while (::read(pipeFds[0], &byte, 1) == 1) {
        if (byte == SIGUSR1) {
            if (!terminating_ && onToggleTintRequested_)
                onToggleTintRequested_();
        } else if (!terminating_) {
            terminating_ = true;
            if (onTerminationRequested_)
                onTerminationRequested_();
        }
    }
}

}  // namespace lunaveil
