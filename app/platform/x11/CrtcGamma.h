#pragma once
// The gamma ramps of an X server's CRTCs as RandR offers them, behind which the server (or a
// test's fake) sits.

#include "platform/DisplayGamma.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lunaveil {

using CrtcId = DisplayId;

class CrtcGamma {
public:
    virtual ~CrtcGamma() = default;

    // The CRTCs that drive at least one output and have a gamma ramp, in the server's order.
    virtual std::vector<GammaOutput> crtcs() = 0;
    // The CRTC's current ramp at its own size; empty when it cannot be read.
    virtual std::optional<GammaRamp> getRamp(CrtcId crtc) = 0;
    // The current ramps of several CRTCs, in the order asked; a backend may ask for all at once.
    virtual std::vector<std::optional<GammaRamp>> getRamps(std::span<const CrtcId> crtcs)
    {
        std::vector<std::optional<GammaRamp>> ramps;
        for (const CrtcId crtc : crtcs)
            ramps.push_back(getRamp(crtc));
        return ramps;
    }
    // False when the server refuses (unknown CRTC, wrong size, X error); other CRTCs are unaffected.
    virtual bool setRamp(CrtcId crtc, const GammaRamp& ramp) = 0;
    // The same for several CRTCs, the answers in order; a backend may send all before it waits.
    virtual std::vector<bool> setRamps(std::span<const RampFor> ramps)
    {
        std::vector<bool> done;
        for (const RampFor& entry : ramps)
            done.push_back(setRamp(entry.display, *entry.ramp));
        return done;
    }

    // A mark the display server keeps while it runs, the same for every client and new for every
    // server started, so that a journal written on one is never applied on another. With `create`
    // one is made when the server has none yet; empty when there is none.
    virtual std::string serverMark(bool create) = 0;

    // Called on the main thread when CRTCs or outputs were added, removed or reconfigured.
    std::function<void()> onCrtcsChanged;
};

}  // namespace lunaveil
