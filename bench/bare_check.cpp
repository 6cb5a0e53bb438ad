// The floor of holding True Colors on X11: a bare XCB program that once a second reads every
// CRTC's gamma ramp in one round trip (the requests pipelined, one wait) and compares each with
// the ramp it read at start, as the re-application's check must. It runs until it is killed;
// scripts/bench counts its wake-ups and CPU, and the X server's, beside Lunaveil's.

#include "XcbHandles.h"

#include <xcb/randr.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

using lunaveil::bench::Reply;
using lunaveil::bench::reply;
using Ramps = std::vector<std::uint16_t>;

// Every CRTC's ramps, red then green then blue, read in one round trip; empty on an X error.
std::vector<Ramps> readRamps(xcb_connection_t* connection, const std::vector<xcb_randr_crtc_t>& crtcs)
{
    std::vector<xcb_randr_get_crtc_gamma_cookie_t> cookies;
    for (const xcb_randr_crtc_t crtc : crtcs)
        cookies.push_back(xcb_randr_get_crtc_gamma(connection, crtc));
    std::vector<Ramps> ramps;
    for (const auto cookie : cookies) {
        const auto gamma = reply(xcb_randr_get_crtc_gamma_reply, connection, cookie);
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

}  // namespace

int main()
{
    const lunaveil::bench::Connection connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get())) {
        std::fprintf(stderr, "bare_check: no X display in $DISPLAY\n");
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection.get())).data;
    const auto resources = reply(xcb_randr_get_screen_resources_current_reply, connection.get(),
                                 xcb_randr_get_screen_resources_current(connection.get(), screen->root));
    if (!resources) {
        std::fprintf(stderr, "bare_check: the display has no RandR\n");
        return 1;
    }
    const xcb_randr_crtc_t* first = xcb_randr_get_screen_resources_current_crtcs(resources.get());
    const std::vector<xcb_randr_crtc_t> crtcs(first, first + resources->num_crtcs);
    const std::vector<Ramps> expected = readRamps(connection.get(), crtcs);

    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (long mismatches = 0;;) {
        ++next.tv_sec;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
        }
        if (readRamps(connection.get(), crtcs) != expected && ++mismatches == 1)
            std::fprintf(stderr, "bare_check: a ramp changed under it\n");
        if (xcb_connection_has_error(connection.get()))
            return 1;
    }
}
