#pragma once
// The command line's way to the running Lunaveil: its interface on the session bus.

#include "shell/CommandLine.h"

#include <cstdio>

namespace lunaveil {

// Does `action` (TintOn, TintOff, Toggle, Status or Quit) on the running Lunaveil and prints what
// a person needs to `out` and `err`; the exit status: 0 done, 1 when no Lunaveil runs or it
// refused. Needs a QCoreApplication.
int remoteControl(CommandLineAction action, bool json, std::FILE* out, std::FILE* err);

}  // namespace lunaveil
