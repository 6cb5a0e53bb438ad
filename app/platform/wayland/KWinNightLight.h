#pragma once
// KWin keeps the display gamma to its own Night Light and gives no program a way to it: what
// Lunaveil tells a Plasma user about True Colors, and whether Night Light tints now. Night
// Light's settings are the user's: Lunaveil only reads its state.

#include <optional>
#include <string>

class QDBusConnection;

namespace lunaveil {

// Whether KWin's Night Light tints the screens now (Plasma 6, then Plasma 5.27's interface);
// empty when KWin answers on neither.
std::optional<bool> kwinNightLightRunning(const QDBusConnection& bus);

// Why True Colors is not offered under KWin, and the way to a gamma tint there.
std::string kwinTrueColorsNote(std::optional<bool> nightLightRunning);

}  // namespace lunaveil
