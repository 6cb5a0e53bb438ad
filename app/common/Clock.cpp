#include "Clock.h"

#include <ctime>

namespace lunaveil {

int localMinuteOfDay(TimePoint when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local.tm_hour * 60 + local.tm_min;
}

}  // namespace lunaveil
