#pragma once
// The gamma ramps of the displays, as every display platform can offer them: list, set, restore.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace lunaveil {

// A display as its platform names it: a RandR CRTC on X11, an output on Wayland.
using DisplayId = std::uint32_t;

// One display's transfer: three channels of the display's own ramp size, 0..65535 each.
struct GammaRamp {
    std::vector<std::uint16_t> red;
    std::vector<std::uint16_t> green;
    std::vector<std::uint16_t> blue;

    std::size_t size() const { return red.size(); }
    friend bool operator==(const GammaRamp&, const GammaRamp&) = default;
};

// One display's ramp in a batch; the ramp outlives the call it is passed to.
struct RampFor {
    DisplayId display = 0;
    const GammaRamp* ramp = nullptr;
};

struct GammaOutput {
    DisplayId id = 0;
    std::size_t rampSize = 0;
    friend bool operator==(const GammaOutput&, const GammaOutput&) = default;
};

// What undoing the changes of a run that died achieved.
struct GammaRecovery {
    bool restored = false;  // some display got back what a run that died left changed
    bool complete = true;   // false when something could not be used: a display may stay changed
};

// Each platform keeps what the displays had before Lunaveil changed them in its own way, so
// that restore() gives it back: X11 keeps the ramps (and a crash journal), a Wayland
// compositor puts back its own table when Lunaveil lets go.
class DisplayGamma {
public:
    virtual ~DisplayGamma() = default;

    // The displays that take a gamma ramp, in the server's order.
    virtual std::vector<GammaOutput> outputs() = 0;
    // The ramps now in force, in the order asked, where the server lets a client read them
    // back; empty where it does not (or the display is gone).
    virtual std::vector<std::optional<GammaRamp>> readRamps(std::span<const DisplayId> displays)
    {
        return std::vector<std::optional<GammaRamp>>(displays.size());
    }
    // The ramp the display had before Lunaveil changed it, its calibration, for a tint to go over;
    // none where the platform cannot tell, which stands for the straight ramp.
    virtual std::optional<GammaRamp> calibration(DisplayId) { return std::nullopt; }
    // False when the display refuses it (gone, wrong size, a server error); others are unaffected.
    virtual bool setRamp(DisplayId display, const GammaRamp& ramp) = 0;
    // The same for several displays, the answers in order; a platform may send all before it waits.
    virtual std::vector<bool> setRamps(std::span<const RampFor> ramps)
    {
        std::vector<bool> done;
        for (const RampFor& entry : ramps)
            done.push_back(setRamp(entry.display, *entry.ramp));
        return done;
    }
    // Gives every display Lunaveil changed what it had before, and forgets it.
    virtual void restore() = 0;
    // Whether the server says when a display lost the ramp Lunaveil set (through onOutputsChanged);
    // where it does not, a transfer in force is checked every second.
    virtual bool tellsOfLosses() const { return false; }

    // Called on the main thread when displays were added, removed or reconfigured, or one lost
    // the ramp Lunaveil set.
    std::function<void()> onOutputsChanged;
};

}  // namespace lunaveil
