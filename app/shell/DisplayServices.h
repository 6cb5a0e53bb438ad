#pragma once
// The display-wide parts Lunaveil shares between its services: X11 gamma, the transfer over it,
// and the backlights.

#include "effects/DisplayTransfer.h"
#include "platform/Backlight.h"
#include "platform/RuntimeFolder.h"
#include "platform/X11DisplayGamma.h"

#include <memory>
#include <optional>
#include <sys/types.h>

namespace lunaveil {

class DisplayServices {
public:
    // Connects to $DISPLAY; without an X server (a pure Wayland session) both parts stay empty.
    // The gamma journal is kept in `journalFolder`, as the process `journalOwner`'s alone when given.
    DisplayServices(std::shared_ptr<const RuntimeFolder> journalFolder, std::optional<pid_t> journalOwner);
    DisplayServices(const DisplayServices&) = delete;
    DisplayServices& operator=(const DisplayServices&) = delete;

    // Null when no display gamma is reachable.
    DisplayTransfer* transfer() const { return transfer_.get(); }
    X11DisplayGamma* gamma() const { return gamma_.get(); }
    Backlight& backlight() { return backlight_; }

    // Whether giveBack() can still reach the displays.
    bool reachable() { return gamma_ && gamma_->serverAnswers(); }
    // Gives every display and backlight back what Lunaveil changed on it, as a quit does.
    void giveBack();

private:
    std::unique_ptr<X11DisplayGamma> gamma_;
    std::unique_ptr<DisplayTransfer> transfer_;
    Backlight backlight_;
};

}  // namespace lunaveil
