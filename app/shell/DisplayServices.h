#pragma once
// The display-wide parts Lunaveil shares between its services: X11 gamma and the transfer over it.

#include "effects/DisplayTransfer.h"
#include "platform/X11DisplayGamma.h"

#include <memory>

namespace lunaveil {

class DisplayServices {
public:
    // Connects to $DISPLAY; without an X server (a pure Wayland session) both parts stay empty.
    DisplayServices();
    DisplayServices(const DisplayServices&) = delete;
    DisplayServices& operator=(const DisplayServices&) = delete;

    // Null when no display gamma is reachable.
    DisplayTransfer* transfer() const { return transfer_.get(); }
    X11DisplayGamma* gamma() const { return gamma_.get(); }

    // Whether giveBack() can still reach the displays.
    bool reachable() const { return gamma_ && gamma_->isConnected(); }
    // Gives every display back what Lunaveil changed on it, as a quit does.
    void giveBack();

private:
    std::unique_ptr<X11DisplayGamma> gamma_;
    std::unique_ptr<DisplayTransfer> transfer_;
};

}  // namespace lunaveil
