#pragma once
// Display gamma on wlroots compositors (sway, Hyprland, river, wayfire): a gamma control per output.

#include "platform/DisplayGamma.h"
#include "platform/wayland/WaylandConnection.h"

#include <QObject>

#include <map>
#include <memory>
#include <optional>
#include <set>

struct zwlr_gamma_control_manager_v1;
struct zwlr_gamma_control_v1;

namespace lunaveil {

// A control takes the output's gamma for Lunaveil alone until it is destroyed, when the compositor
// puts the output's own table back, also when Lunaveil dies: so controls exist only while a
// transfer is in force, and restore() destroys them. An output whose control failed (no gamma
// table, or another program holds it) is left out until the next restore or change of outputs.
// Displays are named by their wl_output's registry name. The compositor does not tell the table
// an output had before, so a tint goes over the straight ramp there (calibration() stays none).
class WlrGamma final : public DisplayGamma {
public:
    // Null when the compositor offers no zwlr_gamma_control_manager_v1; `connection` must outlive it.
    static std::unique_ptr<WlrGamma> create(WaylandConnection& connection);
    // Whether at least one output now takes a gamma control: each is asked, then let go at once,
    // which leaves its table as it is. One round trip.
    static bool anyOutputAccepts(WaylandConnection& connection);

    WlrGamma(WaylandConnection& connection, zwlr_gamma_control_manager_v1* manager);
    ~WlrGamma() override;
    WlrGamma(const WlrGamma&) = delete;
    WlrGamma& operator=(const WlrGamma&) = delete;

    // Takes a control of every output not known to refuse one (one round trip when it takes new ones).
    std::vector<GammaOutput> outputs() override;
    // The compositor reads no table back: what Lunaveil set last, while its control holds.
    std::vector<std::optional<GammaRamp>> readRamps(std::span<const DisplayId> displays) override;
    bool setRamp(DisplayId display, const GammaRamp& ramp) override;
    void restore() override;
    // The compositor sends `failed` when another program takes an output's table.
    bool tellsOfLosses() const override { return true; }

    // To be called when outputs come or go.
    void outputsChanged();

private:
    struct Control {
        WlrGamma* owner = nullptr;
        zwlr_gamma_control_v1* control = nullptr;
        std::size_t size = 0;  // 0 until the compositor says
        std::optional<GammaRamp> set;
        bool failed = false;
    };
    static void gammaSize(void* data, zwlr_gamma_control_v1* control, std::uint32_t size);
    static void failed(void* data, zwlr_gamma_control_v1* control);
    void announce();

    WaylandConnection& connection_;
    zwlr_gamma_control_manager_v1* manager_;
    std::map<DisplayId, Control> controls_;
    std::set<DisplayId> refused_;  // failed since the last restore
    bool reportRefusals_ = true;
    QObject context_;              // of queued announcements, which end with this object
};

}  // namespace lunaveil
