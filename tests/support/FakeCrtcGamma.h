#pragma once
// A recording X server's CRTC gamma for unit tests: configurable CRTCs, ramp sizes and refusals, no display.

#include "platform/x11/CrtcGamma.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace lunaveil {

struct FakeCrtcGamma : CrtcGamma {
    // A recognisable calibration per CRTC, so a restore can be told from the straight ramp.
    static GammaRamp calibration(CrtcId crtc, std::size_t size)
    {
        GammaRamp ramp;
        for (std::size_t i = 0; i < size; ++i) {
            ramp.red.push_back(static_cast<std::uint16_t>(i * 97 + crtc));
            ramp.green.push_back(static_cast<std::uint16_t>(i * 89 + crtc * 3));
            ramp.blue.push_back(static_cast<std::uint16_t>(i * 83 + crtc * 7));
        }
        return ramp;
    }

    // CRTCs by their ramp size, each at its calibration.
    explicit FakeCrtcGamma(std::initializer_list<std::pair<CrtcId, std::size_t>> crtcs = {})
    {
        for (const auto& [crtc, size] : crtcs)
            addCrtc(crtc, size);
    }
    void addCrtc(CrtcId crtc, std::size_t size = 256)
    {
        online.push_back(crtc);
        ramps[crtc] = calibration(crtc, size);
    }

    std::vector<GammaOutput> crtcs() override
    {
        std::vector<GammaOutput> outputs;
        for (const CrtcId crtc : online)
            outputs.push_back({crtc, ramps.at(crtc).size()});
        return outputs;
    }
    std::optional<GammaRamp> getRamp(CrtcId crtc) override
    {
        return ramps.contains(crtc) && !unreadable.contains(crtc) ? std::optional(ramps.at(crtc)) : std::nullopt;
    }
    // Like the X server: an unknown CRTC, a refusing one or a ramp of the wrong size is rejected.
    bool setRamp(CrtcId crtc, const GammaRamp& ramp) override
    {
        if (beforeSet)
            beforeSet(crtc);
        if (!ramps.contains(crtc) || refusing.contains(crtc) || ramp.size() != ramps.at(crtc).size())
            return false;
        ramps[crtc] = ramp;
        return ++sets > 0;
    }

    std::string serverMark(bool) override { return "fake server"; }

    std::vector<CrtcId> online;
    std::map<CrtcId, GammaRamp> ramps;
    std::set<CrtcId> unreadable;
    std::set<CrtcId> refusing;
    int sets = 0;  // accepted setRamp calls
    std::function<void(CrtcId)> beforeSet;
};

}  // namespace lunaveil
