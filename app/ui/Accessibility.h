#pragma once
// How screen readers meet the popover's own controls: the menu button as a button, the swatches
// as radio buttons that say whether they are chosen, and both can be pressed.

namespace lunaveil {

// Installs Lunaveil's accessibility factory once; later calls do nothing.
void installAccessibility();

}  // namespace lunaveil
