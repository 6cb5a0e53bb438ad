#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into one call on the Qt main thread, so Lunaveil can give
// the displays back before it ends.

#include <functional>
#include <memory>

class QSocketNotifier;

namespace lunaveil {

class TerminationSignals {
public:
    // Installs the handlers; needs a QCoreApplication. Only one may exist at a time.
    explicit TerminationSignals(std::function<void(int signal)> onTerminationRequested);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    void readSignal();

    std::function<void(int)> onTerminationRequested_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace lunaveil
