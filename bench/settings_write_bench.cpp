// How long one durable settings write takes, as each step of the opacity slider causes one.
// Usage: settings_write_bench [FOLDER] [WRITES]   (FOLDER should be on the disk the user's config lives on)

#include "settings/SettingsDataAccess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

int main(int argc, char* argv[])
{
    namespace fs = std::filesystem;
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::current_path() / "settings-write-bench";
    const int writes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    fs::remove_all(folder);
    fs::create_directories(folder);

    lunaveil::SettingsDataAccess settings(folder / "com.quorvex.Lunaveil.json");
    settings.setBackgroundColor(lunaveil::Colour::redColor());  // a file of realistic size
    settings.setScheduleIsActive(true, lunaveil::systemNow(), lunaveil::systemNow());

    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(writes));
    for (int i = 0; i < writes; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        settings.setBackgroundAlpha(10.0 + (i % 80));
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count());
    }
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) { return micros[std::min(micros.size() - 1, static_cast<std::size_t>(q * micros.size()))]; };
    std::printf("settings write latency over %d writes in %s\n", writes, folder.c_str());
    std::printf("  median %.3f ms   p99 %.3f ms   max %.3f ms   (target: p99 under 8 ms)\n", at(0.5) / 1000,
                at(0.99) / 1000, micros.back() / 1000);
    fs::remove_all(folder);
    return 0;
}
