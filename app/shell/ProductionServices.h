#pragma once
// The real collaborators Lunaveil runs on.

#include "effects/OverlayWindow.h"
#include "effects/Scheduler.h"
#include "platform/Compositor.h"
#include "shell/DisplayServices.h"
#include "shell/HubServices.h"

namespace lunaveil {

// The arguments must outlive every collaborator made from the result; `compositor` is null
// where translucent windows always blend.
HubServices productionServices(DisplayServices& displays, Compositor* compositor, Scheduler& scheduler,
                               OverlayScreens& screens);

}  // namespace lunaveil
