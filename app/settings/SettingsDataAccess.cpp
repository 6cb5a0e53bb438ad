#include "SettingsDataAccess.h"

#include "platform/XdgDirectories.h"
#include "settings/ColourArchive.h"
#include "settings/Constants.h"

#include <algorithm>

namespace lunaveil {

std::filesystem::path SettingsDataAccess::defaultFile()
{
    return configHome() / "lunaveil" / (std::string(Constants::BUNDLE_ID) + ".json");
}

SettingsDataAccess::SettingsDataAccess(std::filesystem::path file) : keyValueDataAccess_(std::move(file)) {}

// A bool reads as 0 or 1 and a number as a bool by being non-zero; anything else is missing.
std::optional<double> SettingsDataAccess::number(const QString& key) const
{
    const auto value = keyValueDataAccess_.getValue(key);
    if (!value)
        return std::nullopt;
    if (const auto* d = std::get_if<double>(&*value))
        return *d;
    if (const auto* b = std::get_if<bool>(&*value))
        return *b ? 1.0 : 0.0;
    return std::nullopt;
}

std::optional<Colour> SettingsDataAccess::colour(const QString& key) const
{
    const auto value = keyValueDataAccess_.getValue(key);
    const auto* blob = value ? std::get_if<QByteArray>(&*value) : nullptr;
    const auto stored = blob ? unarchiveColour(*blob) : std::nullopt;
    if (!stored)
        return std::nullopt;
    // Only what the colour controls can set: beyond it the transfer maths would blacken or
    // saturate the screens.
    const auto inRange = [](double component) { return component >= 0.0 && component <= 1.0; };
    const auto& components = stored->components();
    if (!std::all_of(components.begin(), components.begin() + Colour::componentCount(stored->space()), inRange) ||
        !inRange(stored->alpha()))
        return std::nullopt;
    return stored;
}

std::optional<TimePoint> SettingsDataAccess::date(const QString& key) const
{
    const auto value = keyValueDataAccess_.getValue(key);
    const auto* when = value ? std::get_if<TimePoint>(&*value) : nullptr;
    return when ? std::optional(*when) : std::nullopt;
}

void SettingsDataAccess::setBackgroundAlpha(double alphaPercent)
{
    keyValueDataAccess_.setValue(BACKGROUND_ALPHA_KEY, alphaPercent);
}

double SettingsDataAccess::getBackgroundAlpha() const
{
    // An opacity the slider cannot set (over 100 % turns every ramp to zero) reads as the default.
    const auto stored = number(BACKGROUND_ALPHA_KEY);
    return stored && *stored >= 0.0 && *stored <= 100.0 ? *stored : Constants::DEFAULT_BACKGROUND_ALPHA_VALUE;
}

void SettingsDataAccess::setTrueColor(bool trueColor)
{
    keyValueDataAccess_.setValue(USE_TRUE_COLOR_KEY, trueColor);
}

bool SettingsDataAccess::getTrueColor() const
{
    const auto stored = number(USE_TRUE_COLOR_KEY);
    return stored ? *stored != 0.0 : Constants::DEFAULT_USE_TRUE_COLOR;
}

void SettingsDataAccess::setBackgroundColor(const Colour& colour)
{
    keyValueDataAccess_.setDataValue(BACKGROUND_COLOR_KEY, archiveColour(colour));
}

Colour SettingsDataAccess::getBackgroundColor() const
{
    return colour(BACKGROUND_COLOR_KEY).value_or(Constants::DEFAULT_DIM_BACKGROUND_COLOR);
}

void SettingsDataAccess::setBackgroundTrueColor(const Colour& colour)
{
    keyValueDataAccess_.setDataValue(BACKGROUND_TRUE_COLOR_KEY, archiveColour(colour));
}

Colour SettingsDataAccess::getBackgroundTrueColor() const
{
    return colour(BACKGROUND_TRUE_COLOR_KEY).value_or(Constants::DEFAULT_BACKGROUND_TRUE_COLOR);
}

void SettingsDataAccess::setStartAtLogin(bool enabled)
{
    keyValueDataAccess_.setValue(START_AT_LOGIN_KEY, enabled);
}

bool SettingsDataAccess::getStartAtLogin() const
{
    const auto stored = number(START_AT_LOGIN_KEY);
    return stored ? *stored != 0.0 : Constants::DEFAULT_START_AT_LOGIN;
}

void SettingsDataAccess::setScheduleIsActive(bool active, TimePoint start, TimePoint stop)
{
    keyValueDataAccess_.setValue(SCHEDULE_IS_ACTIVE_KEY, active);
    keyValueDataAccess_.setDataValue(SCHEDULE_START_DATE_KEY, start);
    keyValueDataAccess_.setDataValue(SCHEDULE_STOP_DATE_KEY, stop);
}

Schedule SettingsDataAccess::getSchedule() const
{
    const auto active = number(SCHEDULE_IS_ACTIVE_KEY);
    const auto start = date(SCHEDULE_START_DATE_KEY);
    const auto stop = date(SCHEDULE_STOP_DATE_KEY);
    return {active ? *active != 0.0 : Constants::DEFAULT_SCHEDULE_IS_ACTIVE,
            start ? *start : Constants::DEFAULT_START_DATE(), stop ? *stop : Constants::DEFAULT_STOP_DATE()};
}

void SettingsDataAccess::setLightMonitorNowIsEnabled(bool) {}

bool SettingsDataAccess::getLightMonitorNowIsEnabled() const
{
    return Constants::DEFAULT_LIGHT_MONITOR_NOW_IS_ENABLED;
}

void SettingsDataAccess::setInverseColorsIsEnabled(bool) {}

bool SettingsDataAccess::getInverseColorsIsEnabled() const
{
    return Constants::DEFAULT_INVERSE_COLORS_IS_ENABLED;
}

void SettingsDataAccess::setFirstTimeOpened(bool opened)
{
    keyValueDataAccess_.setValue(FIRST_TIME_OPENED_KEY, opened);
}

bool SettingsDataAccess::getFirstTimeOpened() const
{
    const auto stored = number(FIRST_TIME_OPENED_KEY);
    return stored && *stored != 0.0;
}

void SettingsDataAccess::setScheduleFollowsSun(bool follows)
{
    keyValueDataAccess_.setValue(SCHEDULE_FOLLOWS_SUN_KEY, follows);
}

bool SettingsDataAccess::getScheduleFollowsSun() const
{
    const auto stored = number(SCHEDULE_FOLLOWS_SUN_KEY);
    return stored && *stored != 0.0;
}

void SettingsDataAccess::setScheduleLocation(const std::optional<Coordinates>& place)
{
    if (!place || !onTheGlobe(*place)) {
        keyValueDataAccess_.removeValue(SCHEDULE_LATITUDE_KEY);
        keyValueDataAccess_.removeValue(SCHEDULE_LONGITUDE_KEY);
        return;
    }
    keyValueDataAccess_.setValue(SCHEDULE_LATITUDE_KEY, place->latitude);
    keyValueDataAccess_.setValue(SCHEDULE_LONGITUDE_KEY, place->longitude);
}

std::optional<Coordinates> SettingsDataAccess::getScheduleLocation() const
{
    const auto latitude = number(SCHEDULE_LATITUDE_KEY);
    const auto longitude = number(SCHEDULE_LONGITUDE_KEY);
    if (!latitude || !longitude)
        return std::nullopt;
    const Coordinates place{*latitude, *longitude};
    return onTheGlobe(place) ? std::optional(place) : std::nullopt;
}

}  // namespace lunaveil
