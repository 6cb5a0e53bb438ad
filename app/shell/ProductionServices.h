#pragma once
// The real collaborators Lunaveil runs on.

#include "shell/HubServices.h"

namespace lunaveil {

HubServices productionServices();

}  // namespace lunaveil
