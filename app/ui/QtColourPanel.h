#pragma once
// The colour chooser behind the custom swatch: one non-modal QColorDialog that reports every change.

#include "shell/Collaborators.h"

#include <memory>

class QColorDialog;

namespace lunaveil {

// Every colour the user moves to in the dialog fires onColorChanged; color() then gives it in
// device RGB with alpha 1. Setting the colour from code fires nothing.
class QtColourPanel final : public ColourPanel {
public:
    QtColourPanel();
    ~QtColourPanel() override;

    void setColor(const Colour& colour) override;
    Colour color() const override;
    // Shows the dialog in front, with the keyboard focus.
    void makeKeyAndOrderFront() override;

    QColorDialog& dialog() { return *dialog_; }

private:
    std::unique_ptr<QColorDialog> dialog_;
    bool settingColour_ = false;
};

}  // namespace lunaveil
