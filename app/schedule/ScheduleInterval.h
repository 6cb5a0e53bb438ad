#pragma once
// Whether a minute of the day lies inside the schedule's interval.

namespace lunaveil {

constexpr int minutesPerDay = 24 * 60;

// Minutes of the day, 0..1439. The start minute is inside and the stop minute is not;
// a start after the stop crosses midnight; equal start and stop is an empty interval.
constexpr bool isInsideInterval(int startMinute, int stopMinute, int nowMinute)
{
    if (startMinute < stopMinute)
        return startMinute <= nowMinute && nowMinute < stopMinute;
    if (startMinute > stopMinute)
        return nowMinute >= startMinute || nowMinute < stopMinute;
    return false;
}

}  // namespace lunaveil
