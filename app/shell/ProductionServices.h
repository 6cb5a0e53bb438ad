#pragma once
// The real collaborators Lunaveil runs on.

#include "platform/OverlayWindow.h"
#include "effects/Scheduler.h"
#include "shell/DisplayServices.h"
#include "shell/HubServices.h"

namespace lunaveil {

class GeoClueLocation;

// The arguments must outlive every collaborator made from the result; `screens` is null where the
// display platform offers no overlay windows.
HubServices productionServices(DisplayServices& displays, Scheduler& scheduler, OverlayScreens* screens,
                               GeoClueLocation& geoClue);

}  // namespace lunaveil
