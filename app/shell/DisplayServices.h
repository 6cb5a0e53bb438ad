#pragma once
// The display-wide parts Lunaveil shares between its services: the display platform, the
// transfer over its gamma, and the backlights.

#include "effects/DisplayTransfer.h"
#include "platform/Backlight.h"
#include "platform/DisplayPlatform.h"
#include "platform/RuntimeFolder.h"

#include <memory>
#include <optional>
#include <sys/types.h>

namespace lunaveil {

class DisplayServices {
public:
    // Opens the display platform of the session (see openDisplayPlatform). The gamma journal is
    // kept in `journalFolder`, as the process `journalOwner`'s alone when given.
    DisplayServices(std::shared_ptr<const RuntimeFolder> journalFolder, std::optional<pid_t> journalOwner);
    DisplayServices(const DisplayServices&) = delete;
    DisplayServices& operator=(const DisplayServices&) = delete;

    DisplayPlatform& platform() { return *platform_; }
    // Null where the platform offers no display transfer.
    DisplayTransfer* transfer() const { return transfer_.get(); }
    Backlight& backlight() { return backlight_; }

    // Whether giveBack() can still reach the displays.
    bool reachable() { return platform_->reachable(); }
    // Gives every display and backlight back what Lunaveil changed on it, as a quit does.
    void giveBack();

private:
    std::unique_ptr<DisplayPlatform> platform_;
    std::unique_ptr<DisplayTransfer> transfer_;
    Backlight backlight_;
};

}  // namespace lunaveil
