// How long Lunaveil takes to apply gamma ramps: 1, 2 and 16 CRTCs of the display in $DISPLAY,
// one request after another and all sent before one wait, beside the floor: a bare XCB program
// that pipelines the requests on a connection of its own. bench/gamma_apply.sh runs it on a
// virtual desktop with 16 monitors.

#include "platform/x11/RandrCrtcs.h"

#include <xcb/randr.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using lunaveil::CrtcId;
using lunaveil::GammaRamp;
using Microseconds = std::chrono::duration<double, std::micro>;

constexpr int rounds = 200;

GammaRamp linearRamp(std::size_t size, double scale)
{
    GammaRamp ramp;
    for (std::size_t i = 0; i < size; ++i) {
        const auto level = static_cast<std::uint16_t>(scale * 65535.0 * double(i) / double(size - 1));
        ramp.red.push_back(level);
        ramp.green.push_back(level);
        ramp.blue.push_back(level);
    }
    return ramp;
}

// Prints the median and 99th percentile; gives the median.
double report(const char* what, std::vector<double> samples)
{
    std::ranges::sort(samples);
    const auto at = [&samples](double fraction) {
        return samples[std::min(samples.size() - 1, static_cast<std::size_t>(fraction * double(samples.size())))];
    };
    std::printf("%-28s median %8.1f us   p99 %8.1f us   (%zu rounds)\n", what, at(0.5), at(0.99), samples.size());
    return at(0.5);
}

}  // namespace

int main()
{
    const auto gamma = lunaveil::RandrCrtcs::create();
    if (!gamma) {
        std::fprintf(stderr, "gamma_apply_bench: no X display with RandR gamma in $DISPLAY\n");
        return 1;
    }
    std::vector<CrtcId> crtcs;
    for (const auto& crtc : gamma->crtcs())
        crtcs.push_back(crtc.id);
    std::printf("%zu CRTCs with gamma ramps\n", crtcs.size());

    std::vector<GammaRamp> saved;
    for (const CrtcId crtc : crtcs) {
        auto ramp = gamma->getRamp(crtc);
        if (!ramp) {
            std::fprintf(stderr, "gamma_apply_bench: cannot read the ramp of CRTC %u\n", crtc);
            return 1;
        }
        saved.push_back(std::move(*ramp));
    }

    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const auto listed = gamma->crtcs();
        samples.push_back(Microseconds(std::chrono::steady_clock::now() - start).count());
        if (listed.size() != crtcs.size()) {
            std::fprintf(stderr, "gamma_apply_bench: the CRTCs changed while measuring\n");
            return 1;
        }
    }
    report("list CRTCs", samples);
    std::vector<double> medians;

    bool failed = false;
    for (const std::size_t count : {std::size_t{1}, std::size_t{2}, std::size_t{16}}) {
        if (count > crtcs.size()) {
            std::printf("set ramp on %2zu CRTCs          skipped: only %zu CRTCs\n", count, crtcs.size());
            continue;
        }
        // Alternate two tints, so every round changes what the server holds.
        const GammaRamp ramps[] = {linearRamp(saved[0].size(), 0.8), linearRamp(saved[0].size(), 0.6)};
        samples.clear();
        for (int i = 0; i < rounds; ++i) {
            const auto start = std::chrono::steady_clock::now();
            for (std::size_t c = 0; c < count; ++c)
                failed |= !gamma->setRamp(crtcs[c], ramps[i % 2]);
            samples.push_back(Microseconds(std::chrono::steady_clock::now() - start).count());
        }
        char label[64];
        std::snprintf(label, sizeof label, "set ramp on %2zu CRTCs", count);
        report(label, samples);

        // All at once, as the transfer sends them.
        samples.clear();
        for (int i = 0; i < rounds; ++i) {
            std::vector<lunaveil::RampFor> batch;
            for (std::size_t c = 0; c < count; ++c)
                batch.push_back({crtcs[c], &ramps[i % 2]});
            const auto start = std::chrono::steady_clock::now();
            for (const bool done : gamma->setRamps(batch))
                failed |= !done;
            samples.push_back(Microseconds(std::chrono::steady_clock::now() - start).count());
        }
        std::snprintf(label, sizeof label, "set ramps on %2zu CRTCs", count);
        medians.push_back(report(label, samples));

        // The floor: a bare program's pipelined requests and one wait.
        xcb_connection_t* bare = xcb_connect(nullptr, nullptr);
        samples.clear();
        for (int i = 0; i < rounds && !xcb_connection_has_error(bare); ++i) {
            const GammaRamp& ramp = ramps[i % 2];
            const auto start = std::chrono::steady_clock::now();
            std::vector<xcb_void_cookie_t> cookies;
            for (std::size_t c = 0; c < count; ++c)
                cookies.push_back(xcb_randr_set_crtc_gamma_checked(bare, crtcs[c], static_cast<std::uint16_t>(ramp.size()),
                                                                   ramp.red.data(), ramp.green.data(), ramp.blue.data()));
            for (const xcb_void_cookie_t cookie : cookies)
                std::free(xcb_request_check(bare, cookie));
            samples.push_back(Microseconds(std::chrono::steady_clock::now() - start).count());
        }
        xcb_disconnect(bare);
        std::snprintf(label, sizeof label, "bare XCB on %2zu CRTCs", count);
        const double floor = report(label, samples);
        std::printf("%-28s %.2f x the floor\n", "  Lunaveil's batch", medians.back() / floor);
    }

    for (std::size_t c = 0; c < crtcs.size(); ++c)
        failed |= !gamma->setRamp(crtcs[c], saved[c]);
    if (failed)
        std::fprintf(stderr, "gamma_apply_bench: the server refused a ramp\n");
    return failed ? 1 : 0;
}
