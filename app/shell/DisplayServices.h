#pragma once
// The display-wide parts Lunaveil shares between its services: X11 gamma and the transfer over it.

#include "effects/DisplayTransfer.h"
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

private:
    std::unique_ptr<X11DisplayGamma> gamma_;
    std::unique_ptr<DisplayTransfer> transfer_;
};

}  // namespace lunaveil
