// Writes the settings file a benchmark starts Lunaveil with: greeted already (no greetings window),
// default colours and strength, and the tint either through the gamma ramps or as the overlay.
// Usage: prepare_settings FILE true-colors|overlay schedule-now|schedule-later|schedule-off
//   schedule-now: a schedule around the present time, so the tint comes on at the first tick;
//   schedule-later: one that starts in an hour, so the tint stays off and the schedule waits.

#include "settings/SettingsDataAccess.h"

#include <cstdio>
#include <filesystem>
#include <string_view>

int main(int argc, char* argv[])
{
    using namespace std::chrono_literals;
    const std::string_view mode = argc > 2 ? argv[2] : "";
    const std::string_view schedule = argc > 3 ? argv[3] : "";
    if (argc != 4 || (mode != "true-colors" && mode != "overlay")
        || (schedule != "schedule-now" && schedule != "schedule-later" && schedule != "schedule-off")) {
        std::fputs("usage: prepare_settings FILE true-colors|overlay schedule-now|schedule-later|schedule-off\n",
                   stderr);
        return 2;
    }
    const std::filesystem::path file = argv[1];
    std::filesystem::create_directories(file.parent_path());
    std::filesystem::remove(file);

    lunaveil::SettingsDataAccess settings(file);
    settings.setFirstTimeOpened(true);
    settings.setTrueColor(mode == "true-colors");
    const lunaveil::TimePoint now = lunaveil::systemNow();
    if (schedule == "schedule-later")
        settings.setScheduleIsActive(true, now + 1h, now + 2h);
    else
        settings.setScheduleIsActive(schedule == "schedule-now", now - 1h, now + 1h);
    return 0;
}
