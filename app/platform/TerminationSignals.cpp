#include "TerminationSignals.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace lunaveil {
namespace {

constexpr std::array handledSignals{SIGTERM, SIGINT, SIGHUP};

// The self-pipe: the handler may only write a byte; the main thread does the rest.
int pipeFds[2] = {-1, -1};

extern "C" void onSignal(int signal)
{
    const int savedErrno = errno;
    // A second signal while the orderly path runs ends Lunaveil at once.
    for (const int handled : handledSignals)
        std::signal(handled, SIG_DFL);
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto written = ::write(pipeFds[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onTerminationRequested)
    : onTerminationRequested_(std::move(onTerminationRequested))
{
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("Lunaveil: cannot watch for termination signals; quit from the menu to restore the displays.");
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { readSignal(); });

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : handledSignals)
        ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    for (const int signal : handledSignals)
        std::signal(signal, SIG_DFL);
    notifier_.reset();
    for (int& fd : pipeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void TerminationSignals::readSignal()
{
    unsigned char byte = 0;
    if (::read(pipeFds[0], &byte, 1) == 1 && onTerminationRequested_)
        onTerminationRequested_(byte);
}

}  // namespace lunaveil
