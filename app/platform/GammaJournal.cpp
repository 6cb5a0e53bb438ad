#include "GammaJournal.h"

#include "platform/DurableFile.h"
#include "platform/XdgDirectories.h"

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

namespace lunaveil {
namespace {

constexpr std::string_view magic = "LVGJ";
constexpr std::uint32_t version = 1;
// Far above any real journal (16 CRTCs of 4096 entries take 400 KiB), so a hostile file cannot
// make us read or allocate without bound.
constexpr std::uintmax_t maxFileSize = 32u << 20;

std::uint64_t fnv1a(std::string_view bytes)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

template <typename T>
void put(std::string& out, T value)
{
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xff));
}

// Reads little-endian integers off the front of a buffer; every read fails once one ran short.
class Reader {
public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}

    template <typename T>
    std::optional<T> get()
    {
        if (rest_.size() < sizeof(T))
            return std::nullopt;
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            value |= static_cast<std::uint64_t>(static_cast<unsigned char>(rest_[i])) << (8 * i);
        rest_.remove_prefix(sizeof(T));
        return static_cast<T>(value);
    }

    std::size_t remaining() const { return rest_.size(); }

private:
    std::string_view rest_;
};

bool readChannel(Reader& in, std::size_t size, std::vector<std::uint16_t>& channel)
{
    channel.resize(size);
    for (auto& value : channel) {
        const auto read = in.get<std::uint16_t>();
        if (!read)
            return false;
        value = *read;
    }
    return true;
}

std::optional<std::map<CrtcId, GammaRamp>> parse(std::string_view bytes)
{
    if (bytes.size() < magic.size() + sizeof(std::uint64_t) || !bytes.starts_with(magic))
        return std::nullopt;
    const std::string_view body = bytes.substr(0, bytes.size() - sizeof(std::uint64_t));
    if (Reader(bytes.substr(body.size())).get<std::uint64_t>() != fnv1a(body))
        return std::nullopt;

    Reader in(body.substr(magic.size()));
    const auto fileVersion = in.get<std::uint32_t>();
    const auto count = in.get<std::uint32_t>();
    if (fileVersion != version || !count || *count > GammaJournal::maxCrtcs)
        return std::nullopt;

    std::map<CrtcId, GammaRamp> ramps;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const auto crtc = in.get<std::uint32_t>();
        const auto size = in.get<std::uint32_t>();
        // Checking the remaining bytes first keeps allocation bounded by the file's own size.
        if (!crtc || !size || *size == 0 || *size > GammaJournal::maxRampSize
            || in.remaining() < std::size_t{*size} * 3 * sizeof(std::uint16_t) || ramps.contains(*crtc))
            return std::nullopt;
        GammaRamp& ramp = ramps[*crtc];
        if (!readChannel(in, *size, ramp.red) || !readChannel(in, *size, ramp.green)
            || !readChannel(in, *size, ramp.blue))
            return std::nullopt;
    }
    if (in.remaining() != 0)
        return std::nullopt;
    return ramps;
}

// ":0" and ":0.0" are the same screen; everything but letters, digits, '.', '-' and '_' becomes '_'.
std::string fileNamePart(std::string_view displayName)
{
    std::string name(displayName);
    if (const auto colon = name.rfind(':'); colon != std::string::npos && name.ends_with(".0")
        && name.find('.', colon) == name.size() - 2)
        name.resize(name.size() - 2);
    if (name.starts_with(':'))
        name.erase(0, 1);
    for (char& c : name) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.'
                       || c == '-' || c == '_';
        if (!safe)
            c = '_';
    }
    return name.empty() ? std::string("default") : name;
}

}  // namespace

GammaJournal::GammaJournal(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path GammaJournal::defaultFile(std::string_view displayName)
{
    return runtimeDirectory() / "lunaveil" / ("gamma-" + fileNamePart(displayName) + ".journal");
}

bool GammaJournal::exists() const
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(file_, ec));
}

bool GammaJournal::save(const std::map<CrtcId, GammaRamp>& ramps)
{
    // Never write what load() would reject.
    if (ramps.size() > maxCrtcs)
        return false;
    for (const auto& [crtc, ramp] : ramps)
        if (ramp.size() == 0 || ramp.size() > maxRampSize || ramp.green.size() != ramp.size()
            || ramp.blue.size() != ramp.size())
            return false;

    std::string out(magic);
    put(out, version);
    put(out, static_cast<std::uint32_t>(ramps.size()));
    for (const auto& [crtc, ramp] : ramps) {
        put(out, crtc);
        put(out, static_cast<std::uint32_t>(ramp.size()));
        for (const auto* channel : {&ramp.red, &ramp.green, &ramp.blue})
            for (const std::uint16_t value : *channel)
                put(out, value);
    }
    put(out, fnv1a(out));

    if (file_.has_parent_path() && !makeDirectories(file_.parent_path(), 0700))
        return false;
    return writeFileDurably(file_, out, 0600);
}

std::map<CrtcId, GammaRamp> GammaJournal::load() const
{
    // Only a regular file of sane size is read: a FIFO or device in its place must not block or flood us.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file_, ec))
        return {};
    const std::uintmax_t size = std::filesystem::file_size(file_, ec);
    if (ec || size > maxFileSize)
        return {};

    std::ifstream in(file_, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        return {};
    return parse(bytes).value_or(std::map<CrtcId, GammaRamp>{});
}

void GammaJournal::remove()
{
    std::error_code ec;
    std::filesystem::remove(file_, ec);
}

}  // namespace lunaveil
