#include "Backlight.h"

#include "platform/RuntimeFolder.h"
#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace lunaveil {
namespace {

// logind answers at once when it answers at all, and our caller is the UI thread.
constexpr int logindTimeoutMs = 1000;

std::vector<std::filesystem::path> backlightDevices(const std::filesystem::path& root)
{
    std::vector<std::filesystem::path> devices;
    std::error_code error;
    for (std::filesystem::directory_iterator it(root / "class" / "backlight", error), end; !error && it != end;
         it.increment(error)) {
        // Real entries are symlinks into the device tree; is_directory() follows them.
        // Whatever does not lead to a directory is no device.
        std::error_code typeError;
        if (it->is_directory(typeError))
            devices.push_back(it->path());
    }
    std::ranges::sort(devices);  // one parent folder, so this is name order
    return devices;
}

// A sysfs number file's value, or nothing when it is missing or not a plain number.
std::optional<std::uint32_t> readNumber(const std::filesystem::path& file)
{
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return std::nullopt;
    char buffer[32];
    ssize_t count;
    do {
        count = ::read(fd.get(), buffer, sizeof buffer);
    } while (count < 0 && errno == EINTR);
    if (count <= 0 || static_cast<std::size_t>(count) == sizeof buffer)
        return std::nullopt;

    std::string_view text(buffer, static_cast<std::size_t>(count));
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    std::uint32_t value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The device's max_brightness, or nothing when it is missing, zero or not a plain number.
std::optional<std::uint32_t> readMaxBrightness(const std::filesystem::path& device)
{
    const auto value = readNumber(device / "max_brightness");
    return value == 0u ? std::nullopt : value;
}

bool writeNumber(int fd, std::uint32_t value)
{
    const std::string text = std::to_string(value) + '\n';
    ssize_t written;
    do {
        written = ::write(fd, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(text.size());
}

QDBusError setThroughLogind(const QString& device, std::uint32_t value)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"),
                                                       QStringLiteral("/org/freedesktop/login1/session/auto"),
                                                       QStringLiteral("org.freedesktop.login1.Session"),
                                                       QStringLiteral("SetBrightness"));
    call << QStringLiteral("backlight") << device << QVariant::fromValue<uint>(value);
    return QDBusError(QDBusConnection::systemBus().call(call, QDBus::Block, logindTimeoutMs));
}

// Errors that say logind cannot be reached or cannot do this at all, so asking it again
// for the next device would only keep the UI waiting.
bool logindUnavailable(const QDBusError& error)
{
    switch (error.type()) {
    case QDBusError::Disconnected:
    case QDBusError::NoServer:
    case QDBusError::ServiceUnknown:
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
        return true;
    default:
        return false;
    }
}

// Sets brightness files directly where this process may write them and through logind
// otherwise, with at most one warning for all the devices of one call.
class BrightnessWriter {
public:
    bool set(const std::filesystem::path& device, std::uint32_t value)
    {
        const std::string fileName = device.filename().string();
        const QString name = QString::fromUtf8(fileName);
        // Opening for writing is the test of "writable": the kernel answers with this process's
        // effective identity and capabilities (access() would use the real ones) and sees
        // read-only mounts too.
        if (UniqueFd fd(::open((device / "brightness").c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC)); fd) {
            if (writeNumber(fd.get(), value))
                return true;
            warnOnce(name, QStringLiteral("writing its brightness file failed (%1)")
                               .arg(QString::fromUtf8(std::strerror(errno))));
            return false;
        }
        if (!logindAvailable_)
            return false;
        // D-Bus carries only UTF-8, and logind must get the name exactly as sysfs has it.
        if (name.toUtf8() != QByteArray::fromStdString(fileName)) {
            warnOnce(name, QStringLiteral("the name is not valid UTF-8, so logind cannot be asked"));
            return false;
        }
        const QDBusError error = setThroughLogind(name, value);
        if (!error.isValid())
            return true;
        warnOnce(name, QStringLiteral("its brightness file is not writable and logind did not set it (%1: %2)")
                           .arg(error.name(), error.message()));
        if (logindUnavailable(error))
            logindAvailable_ = false;
        return false;
    }

private:
    void warnOnce(const QString& device, const QString& reason)
    {
        if (!std::exchange(warned_, true))
            qWarning("Cannot set the brightness of backlight \"%s\": %s", qUtf8Printable(device),
                     qUtf8Printable(reason));
    }

    bool logindAvailable_ = true;
    bool warned_ = false;
};

constexpr std::string_view recordHeader = "lunaveil-backlight 1";
// Far more than the devices of any machine; a bigger file is no record of ours.
constexpr std::uintmax_t maxRecordBytes = 64 * 1024;

// A device name from the record names an entry of class/backlight, never a path elsewhere.
bool isPlainName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\n") == std::string_view::npos;
}

}  // namespace

Backlight::Backlight(std::filesystem::path sysfsRoot, std::shared_ptr<const RuntimeFolder> recordFolder)
    : sysfsRoot_(std::move(sysfsRoot)), recordFolder_(std::move(recordFolder))
{
}

void Backlight::lowerBrightnessTo(float level)
{
    if (std::isnan(level)) {
        qWarning("Backlight: ignoring a brightness level that is not a number");
        return;
    }
    const double fraction = std::clamp(static_cast<double>(level), 0.0, 1.0);

    // What each device had is on record before it is changed, so a crash at any moment can be undone.
    std::vector<std::pair<std::filesystem::path, std::uint32_t>> planned;
    for (const auto& device : backlightDevices(sysfsRoot_)) {
        const std::optional<std::uint32_t> maximum = readMaxBrightness(device);
        const std::optional<std::uint32_t> current = readNumber(device / "brightness");
        if (!maximum || !current)
            continue;
        const auto target = static_cast<std::uint32_t>(std::llround(fraction * *maximum));
        if (*current <= target)
            continue;
        const std::string name = device.filename().string();
        // A device still at what Lunaveil set keeps its first original; one the user changed since
        // gets the user's brightness as its original.
        const auto known = lowered_.find(name);
        const std::uint32_t original = known != lowered_.end() && known->second.set == *current
                                           ? known->second.original
                                           : *current;
        lowered_[name] = {original, target};
        planned.emplace_back(device, target);
    }
    if (planned.empty())
        return;
    saveRecord();

    BrightnessWriter writer;
    for (const auto& [device, target] : planned) {
        const std::string name = device.filename().string();
        if (!writer.set(device, target))
            lowered_.erase(name);
        else if (const auto readBack = readNumber(device / "brightness"))
            lowered_[name].set = *readBack;  // as the driver rounded it, so a restore recognises it
    }
    saveRecord();
}

void Backlight::restoreBrightness()
{
    if (lowered_.empty())
        return;
    giveBack(std::exchange(lowered_, {}));
    saveRecord();
}

bool Backlight::restoreFromRecord()
{
    if (!recordFolder_ || !recordFolder_->usable())
        return false;
    const RuntimeFolder::Contents contents = recordFolder_->readFile(recordName, maxRecordBytes);
    if (contents.state == RuntimeFolder::Contents::State::Refused)
        qWarning("Lunaveil: the backlight record is not used: %s", contents.problem.c_str());
    if (contents.state != RuntimeFolder::Contents::State::Read)
        return false;
    std::istringstream in(contents.bytes);
    std::map<std::string, Lowered> recorded;
    std::string line;
    if (std::getline(in, line) && line == recordHeader) {
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            Lowered lowered{};
            std::string name;
            if (fields >> lowered.original >> lowered.set && fields.get() == ' ' && std::getline(fields, name) &&
                isPlainName(name))
                recorded[name] = lowered;
        }
    }
    recordFolder_->removeFile(recordName);
    return giveBack(recorded);
}

bool Backlight::giveBack(const std::map<std::string, Lowered>& devices)
{
    BrightnessWriter writer;
    bool gaveBack = false;
    for (const auto& [name, lowered] : devices) {
        const std::filesystem::path device = sysfsRoot_ / "class" / "backlight" / name;
        if (readNumber(device / "brightness") == lowered.set && writer.set(device, lowered.original))
            gaveBack = true;
    }
    return gaveBack;
}

void Backlight::saveRecord()
{
    if (!recordFolder_ || !recordFolder_->usable())
        return;
    if (lowered_.empty()) {
        recordFolder_->removeFile(recordName);
        return;
    }
    std::string text = std::string(recordHeader) + '\n';
    for (const auto& [name, lowered] : lowered_) {
        if (isPlainName(name))
            text += std::to_string(lowered.original) + ' ' + std::to_string(lowered.set) + ' ' + name + '\n';
    }
    if (!recordFolder_->replaceFile(recordName, text) && !std::exchange(recordWarned_, true))
        qWarning("Lunaveil: cannot keep the backlight record in %s (%s); should Lunaveil crash, the screens "
                 "stay dimmed until their brightness is set again.",
                 recordFolder_->path().c_str(), std::strerror(errno));
}

}  // namespace lunaveil
