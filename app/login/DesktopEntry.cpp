#include "DesktopEntry.h"

#include "settings/Constants.h"

namespace lunaveil {
namespace {

// Characters that make an Exec argument need quotes.
constexpr std::string_view reservedCharacters = " \t\n\"'\\><~|&;$*?#`()";
// Characters that need a backslash inside a quoted Exec argument.
constexpr std::string_view quotedEscapes = "\"`$\\";

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
bool isValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t smallest = 0;
        if ((lead & 0xe0u) == 0xc0u) {
            length = 2;
            smallest = 0x80;
        } else if ((lead & 0xf0u) == 0xe0u) {
            length = 3;
            smallest = 0x800;
        } else if ((lead & 0xf8u) == 0xf0u) {
            length = 4;
            smallest = 0x10000;
        } else {
            return false;
        }
        char32_t code = lead & (0x7fu >> length);
        if (length > text.size() - i)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(text[i + k]);
            if ((byte & 0xc0u) != 0x80u)
                return false;
            code = (code << 6) | (byte & 0x3fu);
        }
        if (code < smallest || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return false;
        i += length;
    }
    return true;
}

}  // namespace

std::optional<std::string> execPathProblem(std::string_view path)
{
    if (!path.starts_with('/'))
        return "it is not an absolute path";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            return "it contains a line break or another control character";
        // GLib and systemd's autostart generator refuse a doubled '%' and misread backslashes.
        if (c == '%')
            return "it contains a per-cent sign";
        if (c == '\\')
            return "it contains a backslash";
    }
    if (!isValidUtf8(path))
        return "it is not valid UTF-8";
    return std::nullopt;
}

std::optional<std::string> execValue(std::string_view path)
{
    if (execPathProblem(path))
        return std::nullopt;

    std::string argument;
    const bool quoted = path.find_first_of(reservedCharacters) != std::string_view::npos;
    if (quoted)
        argument += '"';
    for (const char c : path) {
        if (quoted && quotedEscapes.find(c) != std::string_view::npos)
            argument += '\\';
        argument += c;
    }
    if (quoted)
        argument += '"';

    // The string-value escape comes on top: the reader undoes it before it reads the quotes.
    std::string value;
    for (const char c : argument) {
        if (c == '\\')
            value += '\\';
        value += c;
    }
    return value;
}

std::optional<std::string> autostartEntry(std::string_view launcherPath)
{
    const std::optional<std::string> exec = execValue(launcherPath);
    if (!exec)
        return std::nullopt;
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Lunaveil\n"
           "Comment=Starts Lunaveil at login unless it already runs\n"
           "Exec=" + *exec + "\n"
           "Icon=" + std::string(Constants::BUNDLE_ID) + "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

}  // namespace lunaveil
