#pragma once
// A real X server of the test's own (Xorg with the dummy driver), stopped when destroyed.

#include <optional>
#include <string>
#include <vector>

namespace lunaveil::test {

class XServer {
public:
    enum class RandR { Enabled, Disabled };

    // Starts a server on a free display with DUMMY0..DUMMY<monitors-1> enabled at 1024x768,
    // through scripts/virtual-desktop. Check running(); failure() says why it is not.
    // Should this process die first, the server stops by itself.
    explicit XServer(int monitors = 1, RandR randr = RandR::Enabled);
    ~XServer();

    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool running() const { return !displayName_.empty(); }
    const std::string& displayName() const { return displayName_; }
    const std::string& failure() const { return failure_; }

    // Turns output DUMMY<index> on (a 1024x768 monitor) or off through xrandr.
    bool enableMonitor(int index);
    // Enables monitor `index` showing monitor 0's picture, as a mirrored display does.
    bool mirrorMonitor(int index);
    bool disableMonitor(int index);

    // Ends the server now, as a crash or logout would; the destructor then has nothing to do.
    void stop();
    // Ends the server and starts a new one on the same display with the same monitors.
    bool restart();

    // True in CI (CI=true), where a server must start: tests fail there instead of skipping.
    static bool required();

private:
    // Starts a server on `onDisplay`, or on any free display when it is empty.
    void start(const std::string& onDisplay);
    // Runs scripts/virtual-desktop; its standard output, or nothing (and failure_ set) when it failed.
    std::optional<std::string> runScript(const std::vector<std::string>& arguments);

    int monitors_;
    RandR randr_;
    std::string displayName_;
    std::string failure_;
};

}  // namespace lunaveil::test

// In a test: skips it when `server` (anything with running() and failure()) did not start, or
// fails it in CI, where every server must start. `what` names it in the message.
#define LUNAVEIL_REQUIRE_RUNNING(server, what)                                                            \
    do {                                                                                                  \
        if (!(server).running()) {                                                                        \
            if (::lunaveil::test::XServer::required())                                                    \
                FAIL() << "no " what " for the end-to-end tests: " << (server).failure();                 \
            GTEST_SKIP() << "no " what " for the end-to-end tests: " << (server).failure();               \
        }                                                                                                 \
    } while (false)

#define LUNAVEIL_REQUIRE_X_SERVER(server) LUNAVEIL_REQUIRE_RUNNING(server, "X server")
