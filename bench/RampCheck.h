#pragma once
// What holding True Colors on X11 must do at the least, for the benchmark floors: read the gamma
// ramp of every CRTC in use in one round trip (the requests pipelined, one wait) and compare each
// with the ramp read at the start.

#include "XcbHandles.h"

#include <xcb/randr.h>

#include <cstdint>
#include <vector>

namespace lunaveil::bench {

class RampCheck {
public:
    // On the display in $DISPLAY; connected() says whether it has RandR gamma.
    RampCheck() : connection_(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(connection_.get()))
            return;
        xcb_connection_t* c = connection_.get();
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        const auto resources = reply(xcb_randr_get_screen_resources_current_reply, c,
                                     xcb_randr_get_screen_resources_current(c, screen->root));
        if (!resources)
            return;
        // The CRTCs that drive a monitor, as Lunaveil holds only those.
        const xcb_randr_crtc_t* first = xcb_randr_get_screen_resources_current_crtcs(resources.get());
        for (const xcb_randr_crtc_t crtc : std::vector(first, first + resources->num_crtcs)) {
            const auto info = reply(xcb_randr_get_crtc_info_reply, c,
                                    xcb_randr_get_crtc_info(c, crtc, resources->config_timestamp));
            if (info && info->mode != XCB_NONE)
                crtcs_.push_back(crtc);
        }
        expected_ = readRamps();
    }

    bool connected() const { return !crtcs_.empty() && expected_.size() == crtcs_.size(); }

    // One round trip: whether every ramp is still the one read at the start.
    bool unchanged() { return readRamps() == expected_; }

private:
    using Ramps = std::vector<std::uint16_t>;

    std::vector<Ramps> readRamps()
    {
        xcb_connection_t* c = connection_.get();
        std::vector<xcb_randr_get_crtc_gamma_cookie_t> cookies;
        for (const xcb_randr_crtc_t crtc : crtcs_)
            cookies.push_back(xcb_randr_get_crtc_gamma(c, crtc));
        std::vector<Ramps> ramps;
        for (const auto cookie : cookies) {
            const auto gamma = reply(xcb_randr_get_crtc_gamma_reply, c, cookie);
            if (!gamma)
                return {};
            const int size = gamma->size;
            Ramps& ramp = ramps.emplace_back();
            for (const std::uint16_t* channel : {xcb_randr_get_crtc_gamma_red(gamma.get()),
                                                 xcb_randr_get_crtc_gamma_green(gamma.get()),
                                                 xcb_randr_get_crtc_gamma_blue(gamma.get())})
                ramp.insert(ramp.end(), channel, channel + size);
        }
        return ramps;
    }

    Connection connection_;
    std::vector<xcb_randr_crtc_t> crtcs_;
    std::vector<Ramps> expected_;
};

}  // namespace lunaveil::bench
