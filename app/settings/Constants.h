#pragma once
// Lunaveil's fixed values: setting defaults, fade timings, brightness, program ids.

#include "common/Clock.h"
#include "common/Colour.h"

#include <string_view>

namespace lunaveil {

class Constants {
public:
    static constexpr Colour DEFAULT_DIM_BACKGROUND_COLOR = Colour::rgb(1.0, 69.0 / 255.0, 0.0);
    static constexpr Colour DEFAULT_BACKGROUND_TRUE_COLOR = Colour::orangeColor();
    static constexpr double DEFAULT_BACKGROUND_ALPHA_VALUE = 25.0;
    static constexpr double ANIMATION_DURATION = 0.5;
    static constexpr double ANIMATION_DURATION_STOP_SIGNAL = 0.5;
    // Both dates are today's, computed at each call.
    static TimePoint DEFAULT_START_DATE();
    static TimePoint DEFAULT_STOP_DATE();
    static constexpr std::string_view BUNDLE_ID = "com.quorvex.Lunaveil";
    static constexpr float DEFAULT_BRIGHTNESS_LEVEL = 0.5f;
    static constexpr bool DEFAULT_SCHEDULE_IS_ACTIVE = true;
    static constexpr bool DEFAULT_USE_TRUE_COLOR = true;
    static constexpr bool DEFAULT_START_AT_LOGIN = false;
    static constexpr bool DEFAULT_LIGHT_MONITOR_NOW_IS_ENABLED = false;
    static constexpr bool DEFAULT_INVERSE_COLORS_IS_ENABLED = false;
    static constexpr std::string_view HELPER_BUNDLE_ID = "com.quorvex.LunaveilLauncher";
};

}  // namespace lunaveil
