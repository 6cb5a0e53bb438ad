#include "Backlight.h"

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

// The device's max_brightness, or nothing when it is missing, zero or not a plain number.
std::optional<std::uint32_t> readMaxBrightness(const std::filesystem::path& device)
{
    UniqueFd fd(::open((device / "max_brightness").c_str(), O_RDONLY | O_CLOEXEC));
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
    if (status != std::errc{} || end != text.data() + text.size() || value == 0)
        return std::nullopt;
    return value;
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

}  // namespace

Backlight::Backlight(std::filesystem::path sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

void Backlight::setBrightnessLevel(float level)
{
    if (std::isnan(level)) {
        qWarning("Backlight: ignoring a brightness level that is not a number");
        return;
    }
    const double fraction = std::clamp(static_cast<double>(level), 0.0, 1.0);

    bool logindAvailable = true;
    bool warned = false;
    const auto warnOnce = [&warned](const QString& device, const QString& reason) {
        if (!std::exchange(warned, true))
            qWarning("Cannot set the brightness of backlight \"%s\": %s", qUtf8Printable(device),
                     qUtf8Printable(reason));
    };

    for (const auto& device : backlightDevices(sysfsRoot_)) {
        const std::optional<std::uint32_t> maximum = readMaxBrightness(device);
        if (!maximum)
            continue;
        const auto value = static_cast<std::uint32_t>(std::llround(fraction * *maximum));
        const std::string fileName = device.filename().string();
        const QString name = QString::fromUtf8(fileName);

        // Opening for writing is the test of "writable": the kernel answers with this process's
        // effective identity and capabilities (access() would use the real ones) and sees
        // read-only mounts too.
        if (UniqueFd fd(::open((device / "brightness").c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC)); fd) {
            if (!writeNumber(fd.get(), value))
                warnOnce(name, QStringLiteral("writing its brightness file failed (%1)")
                                   .arg(QString::fromUtf8(std::strerror(errno))));
            continue;
        }

        if (!logindAvailable)
            continue;
        // D-Bus carries only UTF-8, and logind must get the name exactly as sysfs has it.
        if (name.toUtf8() != QByteArray::fromStdString(fileName)) {
            warnOnce(name, QStringLiteral("the name is not valid UTF-8, so logind cannot be asked"));
            continue;
        }
        const QDBusError error = setThroughLogind(name, value);
        if (!error.isValid())
            continue;
        warnOnce(name, QStringLiteral("its brightness file is not writable and logind did not set it (%1: %2)")
                           .arg(error.name(), error.message()));
        if (logindUnavailable(error))
            logindAvailable = false;
    }
}

}  // namespace lunaveil
