#include "schedule/TimeZoneLocation.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace lunaveil {
namespace {

namespace fs = std::filesystem;

// ±DD[D]MM[SS]: `degreeDigits` digits of degrees, then minutes and perhaps seconds.
std::optional<double> angle(const std::string& text, std::size_t degreeDigits)
{
    if (text.size() != degreeDigits + 3 && text.size() != degreeDigits + 5)
        return std::nullopt;
    if (text[0] != '+' && text[0] != '-')
        return std::nullopt;
    for (std::size_t i = 1; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
    const double degrees = std::stoi(text.substr(1, degreeDigits));
    const double minutes = std::stoi(text.substr(1 + degreeDigits, 2));
    const double seconds = text.size() == degreeDigits + 5 ? std::stoi(text.substr(3 + degreeDigits, 2)) : 0.0;
    if (minutes >= 60 || seconds >= 60)
        return std::nullopt;
    const double value = degrees + minutes / 60.0 + seconds / 3600.0;
    return text[0] == '-' ? -value : value;
}

fs::path zoneFolder()
{
    const char* folder = std::getenv("TZDIR");
    return folder != nullptr && *folder != '\0' ? fs::path(folder) : fs::path("/usr/share/zoneinfo");
}

std::string trimmed(std::string text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// A reason in the user's language, for a tooltip.
std::string said(const char* text, const std::string& zone = {})
{
    QString reason = QCoreApplication::translate("lunaveil::TimeZoneLocation", text);
    if (reason.contains(QLatin1String("%1")))
        reason = reason.arg(QString::fromStdString(zone));
    return reason.toStdString();
}

}  // namespace

std::optional<Coordinates> parseIso6709(const std::string& text)
{
    // The longitude starts at the second sign.
    const auto split = text.find_first_of("+-", 1);
    if (split == std::string::npos)
        return std::nullopt;
    const auto latitude = angle(text.substr(0, split), 2);
    const auto longitude = angle(text.substr(split), 3);
    if (!latitude || !longitude || std::abs(*latitude) > 90.0 || std::abs(*longitude) > 180.0)
        return std::nullopt;
    return Coordinates{*latitude, *longitude};
}

ZoneLocation zoneCoordinates(const std::string& zone, std::istream& zone1970, std::istream* links)
{
    std::string target = zone;
    if (links != nullptr) {
        std::map<std::string, std::string> linkTargets;
        std::string line;
        while (std::getline(*links, line)) {
            std::istringstream fields(line);
            std::string kind, to, name;
            if (fields >> kind >> to >> name && kind == "L")
                linkTargets[name] = to;
        }
        // A link may lead to another; a loop ends after a few steps.
        for (int steps = 0; steps < 8 && linkTargets.contains(target); ++steps)
            target = linkTargets[target];
    }
    std::string line;
    bool anyEntry = false;
    while (std::getline(zone1970, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string countries, coordinates, name;
        if (!std::getline(fields, countries, '\t') || !std::getline(fields, coordinates, '\t')
            || !std::getline(fields, name, '\t'))
            continue;
        anyEntry = true;
        if (trimmed(name) != target)
            continue;
        if (const auto parsed = parseIso6709(trimmed(coordinates)))
            return {parsed, {}};
        return {std::nullopt, said(QT_TRANSLATE_NOOP("lunaveil::TimeZoneLocation",
                                                     "the time zone database gives %1 no readable coordinates"), zone)};
    }
    if (!anyEntry)
        return {std::nullopt, said(QT_TRANSLATE_NOOP("lunaveil::TimeZoneLocation",
                                                     "the time zone database's zone1970.tab is missing or damaged"))};
    return {std::nullopt, said(QT_TRANSLATE_NOOP("lunaveil::TimeZoneLocation",
                                                 "the time zone %1 has no place in the time zone database"), zone)};
}

std::string systemTimeZoneName()
{
    if (const char* variable = std::getenv("TZ"); variable != nullptr && *variable != '\0') {
        std::string zone = variable;
        return zone[0] == ':' ? zone.substr(1) : zone;
    }
    std::ifstream timezone("/etc/timezone");
    std::string zone;
    if (std::getline(timezone, zone) && !trimmed(zone).empty())
        return trimmed(zone);
    std::error_code error;
    const std::string target = fs::read_symlink("/etc/localtime", error).string();
    const auto at = target.find("zoneinfo/");
    return at == std::string::npos ? std::string() : target.substr(at + 9);
}

ZoneLocation systemZoneLocation()
{
    const std::string zone = systemTimeZoneName();
    if (zone.empty())
        return {std::nullopt, said(QT_TRANSLATE_NOOP("lunaveil::TimeZoneLocation", "the system names no time zone"))};
    std::ifstream zone1970(zoneFolder() / "zone1970.tab");
    std::ifstream links(zoneFolder() / "tzdata.zi");
    return zoneCoordinates(zone, zone1970, links ? &links : nullptr);
}

}  // namespace lunaveil
