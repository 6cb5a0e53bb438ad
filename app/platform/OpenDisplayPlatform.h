#pragma once
// The one place that picks the display platform Lunaveil runs on, at start.

#include "platform/DisplayPlatform.h"
#include "platform/RuntimeFolder.h"

#include <memory>
#include <optional>
#include <sys/types.h>

namespace lunaveil {

// Looks at the session ($WAYLAND_DISPLAY, $DISPLAY, $XDG_CURRENT_DESKTOP, the toolkit's platform)
// and at what its display servers answer, and opens the platform chosen; where the toolkit runs
// on a display, says on stderr once which one it is and what it cannot do. A gamma journal is kept in `journalFolder`, as the
// process `journalOwner`'s alone when given.
std::unique_ptr<DisplayPlatform> openDisplayPlatform(std::shared_ptr<const RuntimeFolder> journalFolder,
                                                     std::optional<pid_t> journalOwner);

}  // namespace lunaveil
