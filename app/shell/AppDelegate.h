#pragma once
// Starts the hub once the event loop runs, and opens the popover unless launched with "-psn_".

#include "shell/PresetersMainHub.h"

#include <QStringList>
#include <memory>

namespace lunaveil {

class AppDelegate {
public:
    explicit AppDelegate(HubServices services);

    void applicationDidFinishLaunching(const QStringList& arguments);
    // Closing Lunaveil's last window never ends it.
    static constexpr bool applicationShouldTerminateAfterLastWindowClosed() { return false; }

    PresetersMainHub* presentersMainHub() const { return presentersMainHub_.get(); }

private:
    HubServices services_;
    std::unique_ptr<PresetersMainHub> presentersMainHub_;
};

}  // namespace lunaveil
