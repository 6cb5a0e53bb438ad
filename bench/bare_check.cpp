// The floor of holding True Colors on X11 without any toolkit: a bare XCB program that once a
// second reads every ramp in use in one round trip (bench/RampCheck.h). It runs until it is
// killed; scripts/bench counts its wake-ups and CPU beside Lunaveil's.

#include "RampCheck.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <utility>

int main()
{
    lunaveil::bench::RampCheck check;
    if (!check.connected()) {
        std::fprintf(stderr, "bare_check: no X display with RandR gamma in $DISPLAY\n");
        return 1;
    }
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (bool told = false;;) {
        ++next.tv_sec;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
        }
        if (!check.unchanged() && !std::exchange(told, true))
            std::fprintf(stderr, "bare_check: a ramp changed under it\n");
    }
}
