#pragma once
// The signals Lunaveil answers: SIGTERM, SIGINT, SIGHUP and SIGQUIT end it the orderly way (the
// displays get their own colours back), SIGUSR1 toggles the tint, and the signals whose default
// action would end it with the screens tinted (SIGPIPE, SIGUSR2, SIGALRM) are ignored.

#include <functional>
#include <memory>

class QSocketNotifier;

namespace lunaveil {

class ProcessSignals {
public:
    // Puts the handling in place; first thing in main, so that no signal during start-up takes
    // the default action. Signals that arrive before a ProcessSignals exists wait for it.
    // A SIGHUP, SIGINT or SIGQUIT its parent ignored (nohup, a background job) stays ignored.
    static void install();

    // Delivers the signals on the Qt main thread; needs a QCoreApplication and install().
    // Only the first termination request is passed on: later ones, as `timeout` or a closing
    // terminal send them, never cut the orderly exit short.
    ProcessSignals(std::function<void()> onTerminationRequested, std::function<void()> onToggleTintRequested);
    ~ProcessSignals();
    ProcessSignals(const ProcessSignals&) = delete;
    ProcessSignals& operator=(const ProcessSignals&) = delete;

private:
    void readSignals();

    std::function<void()> onTerminationRequested_;
    std::function<void()> onToggleTintRequested_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool terminating_ = false;
};

}  // namespace lunaveil
