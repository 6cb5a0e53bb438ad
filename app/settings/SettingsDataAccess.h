#pragma once
// Lunaveil's settings, one typed getter and setter each; every getter falls back on its default.

#include "common/Clock.h"
#include "common/Colour.h"
#include "common/Coordinates.h"
#include "settings/KeyValueDataAccess.h"

#include <QString>
#include <filesystem>

namespace lunaveil {

struct Schedule {
    bool isActive = false;
    TimePoint start;
    TimePoint stop;
};

class SettingsDataAccess {
public:
    // The per-user file: $XDG_CONFIG_HOME/lunaveil/com.quorvex.Lunaveil.json.
    static std::filesystem::path defaultFile();

    explicit SettingsDataAccess(std::filesystem::path file = defaultFile());

    inline static const QString BACKGROUND_ALPHA_KEY = QStringLiteral("BACKGROUND_ALPHA_STORE_KEY");
    inline static const QString BACKGROUND_COLOR_KEY = QStringLiteral("BACKGROUND_COLOR_STORE_KEY");
    inline static const QString BACKGROUND_TRUE_COLOR_KEY = QStringLiteral("BACKGROUND_COLOR_TRUE_STORE_KEY");
    inline static const QString USE_TRUE_COLOR_KEY = QStringLiteral("USE_COLOR_TRUE_STORE_KEY");
    inline static const QString SCHEDULE_IS_ACTIVE_KEY = QStringLiteral("SCHEDULE_IS_ACTIVE_STORE_KEY");
    inline static const QString SCHEDULE_START_DATE_KEY = QStringLiteral("SCHEDULE_START_DATE_STORE_KEY");
    inline static const QString SCHEDULE_STOP_DATE_KEY = QStringLiteral("SCHEDULE_STOP_DATE_STORE_KEY");
    inline static const QString START_AT_LOGIN_KEY = QStringLiteral("START_AT_LOGIN_STORE_KEY");
    // Reserved: the tint switch is deliberately not kept between runs.
    inline static const QString LIGHT_MONITOR_NOW_IS_ENABLED_KEY = QStringLiteral("LIGHT_MONITOR_NOW_IS_ENABLED_STORE_KEY");
    inline static const QString FIRST_TIME_OPENED_KEY = QStringLiteral("LUNAVEIL_GREETINGS_OPENED_STORE_KEY");
    inline static const QString SCHEDULE_FOLLOWS_SUN_KEY = QStringLiteral("SCHEDULE_FOLLOWS_SUN_STORE_KEY");
    inline static const QString SCHEDULE_LATITUDE_KEY = QStringLiteral("SCHEDULE_LATITUDE_STORE_KEY");
    inline static const QString SCHEDULE_LONGITUDE_KEY = QStringLiteral("SCHEDULE_LONGITUDE_STORE_KEY");

    void setBackgroundAlpha(double alphaPercent);
    double getBackgroundAlpha() const;
    void setTrueColor(bool trueColor);
    bool getTrueColor() const;
    void setBackgroundColor(const Colour& colour);
    Colour getBackgroundColor() const;
    void setBackgroundTrueColor(const Colour& colour);
    Colour getBackgroundTrueColor() const;
    void setStartAtLogin(bool enabled);
    bool getStartAtLogin() const;
    // Three durable writes, in this order: the flag, the start, the stop.
    void setScheduleIsActive(bool active, TimePoint start, TimePoint stop);
    Schedule getSchedule() const;
    // The tint and invert switches start off at every run: these setters keep nothing.
    void setLightMonitorNowIsEnabled(bool enabled);
    bool getLightMonitorNowIsEnabled() const;
    void setInverseColorsIsEnabled(bool enabled);
    bool getInverseColorsIsEnabled() const;
    void setFirstTimeOpened(bool opened);
    bool getFirstTimeOpened() const;
    // The schedule from sunset to sunrise instead of its two times; off by default.
    void setScheduleFollowsSun(bool follows);
    bool getScheduleFollowsSun() const;
    // The place set by hand for the sun's times, or none (both keys removed); a stored pair off
    // the globe counts as none.
    void setScheduleLocation(const std::optional<Coordinates>& place);
    std::optional<Coordinates> getScheduleLocation() const;

    const KeyValueDataAccess& keyValueDataAccess() const { return keyValueDataAccess_; }
    KeyValueDataAccess& keyValueDataAccess() { return keyValueDataAccess_; }

private:
    std::optional<double> number(const QString& key) const;
    std::optional<Colour> colour(const QString& key) const;
    std::optional<TimePoint> date(const QString& key) const;

    KeyValueDataAccess keyValueDataAccess_;
};

}  // namespace lunaveil
