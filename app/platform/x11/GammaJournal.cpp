#include "GammaJournal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <string>
#include <utility>

namespace lunaveil {
namespace {

constexpr std::string_view magic = "LVGJ";
constexpr std::uint32_t version = 2;
constexpr std::string_view suffix = ".journal";
// Far above any real journal (16 CRTCs of 4096 entries take 400 KiB), so a hostile file cannot
// make us read or allocate without bound.
constexpr std::size_t maxFileSize = 32u << 20;

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

// The version, start, mark and ramps of a journal's bytes; State::Saved when all is sound.
GammaJournal::Contents parse(std::string_view bytes)
{
    using State = GammaJournal::Contents::State;
    GammaJournal::Contents contents;
    const auto fail = [&contents](State state, const char* problem) {
        contents = {};
        contents.state = state;
        contents.problem = problem;
        return contents;
    };
    if (bytes.size() < magic.size() + sizeof(std::uint64_t) || !bytes.starts_with(magic))
        return fail(State::Damaged, "is no gamma journal");
    const std::string_view body = bytes.substr(0, bytes.size() - sizeof(std::uint64_t));
    if (Reader(bytes.substr(body.size())).get<std::uint64_t>() != fnv1a(body))
        return fail(State::Damaged, "is damaged");

    Reader in(body.substr(magic.size()));
    const auto fileVersion = in.get<std::uint32_t>();
    if (fileVersion == 1u)
        return fail(State::OtherVersion, "was written by an earlier Lunaveil and does not say which X server it "
                                         "belongs to");
    if (fileVersion != version)
        return fail(State::OtherVersion, "was written by another version of Lunaveil");
    const auto started = in.get<std::int64_t>();
    const auto markLength = in.get<std::uint32_t>();
    if (!started || !markLength || *markLength == 0 || *markLength > GammaJournal::maxServerMark || in.remaining() < *markLength)
        return fail(State::Damaged, "is damaged");
    contents.started = *started;
    for (std::uint32_t i = 0; i < *markLength; ++i)
        contents.serverMark.push_back(static_cast<char>(*in.get<std::uint8_t>()));

    const auto count = in.get<std::uint32_t>();
    if (!count || *count == 0 || *count > GammaJournal::maxCrtcs)
        return fail(State::Damaged, "is damaged");
    for (std::uint32_t i = 0; i < *count; ++i) {
        const auto crtc = in.get<std::uint32_t>();
        const auto size = in.get<std::uint32_t>();
        // Checking the remaining bytes first keeps allocation bounded by the file's own size.
        if (!crtc || !size || *size == 0 || *size > GammaJournal::maxRampSize
            || in.remaining() < std::size_t{*size} * 3 * sizeof(std::uint16_t) || contents.ramps.contains(*crtc))
            return fail(State::Damaged, "is damaged");
        GammaRamp& ramp = contents.ramps[*crtc];
        if (!readChannel(in, *size, ramp.red) || !readChannel(in, *size, ramp.green)
            || !readChannel(in, *size, ramp.blue))
            return fail(State::Damaged, "is damaged");
    }
    if (in.remaining() != 0)
        return fail(State::Damaged, "is damaged");
    contents.state = State::Saved;
    return contents;
}

// Everything but letters, digits, '.', '-' and '_' becomes '_'.
std::string fileNamePart(std::string_view display)
{
    std::string name(display);
    for (char& c : name) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.'
                       || c == '-' || c == '_';
        if (!safe)
            c = '_';
    }
    return name.empty() ? std::string("default") : name;
}

// The owner's pid in a journal name "<prefix>.<pid>.journal", 0 for the shared "<prefix>.journal",
// nothing when the name is no journal of this prefix.
std::optional<pid_t> ownerOf(std::string_view name, std::string_view prefix)
{
    if (!name.starts_with(prefix) || !name.ends_with(suffix))
        return std::nullopt;
    std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (middle.empty())
        return 0;
    if (!middle.starts_with('.') || middle.size() < 2 || middle.size() > 11)
        return std::nullopt;
    middle.remove_prefix(1);
    long pid = 0;
    for (const char c : middle) {
        if (c < '0' || c > '9')
            return std::nullopt;
        pid = pid * 10 + (c - '0');
    }
    return pid > 0 && pid <= 0x7fffffff ? std::optional<pid_t>(static_cast<pid_t>(pid)) : std::nullopt;
}

std::string commandOf(const std::string& pid)
{
    std::ifstream in("/proc/" + pid + "/comm");
    std::string command;
    std::getline(in, command);
    return command;
}

// Whether `pid` is a Lunaveil still running; when it cannot be told, a live process counts as one.
bool isRunningLunaveil(pid_t pid)
{
    if (::kill(pid, 0) != 0 && errno != EPERM)
        return false;
    const std::string command = commandOf(std::to_string(pid));
    return command.empty() || command == commandOf("self");
}

}  // namespace

GammaJournal::GammaJournal(std::shared_ptr<const RuntimeFolder> folder, std::string_view display,
                           std::optional<pid_t> owner)
    : GammaJournal(std::move(folder), std::string("gamma-").append(fileNamePart(display)), {})
{
    // Appended piece by piece: GCC 12 sees a false overlap (-Wrestrict) in "." + number.
    fileName_ = prefix_;
    if (owner)
        fileName_.append(".").append(std::to_string(*owner));
    fileName_.append(suffix);
}

GammaJournal::GammaJournal(std::shared_ptr<const RuntimeFolder> folder, std::string prefix, std::string fileName)
    : folder_(std::move(folder))
    , prefix_(std::move(prefix))
    , fileName_(std::move(fileName))
    , started_(std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::system_clock::now().time_since_epoch()).count())
{
}

bool GammaJournal::exists() const
{
    return static_cast<bool>(folder_->openFile(fileName_, O_PATH));
}

bool GammaJournal::save(std::string_view serverMark, const std::map<CrtcId, GammaRamp>& ramps)
{
    if (!folder_->usable()) {
        problem_ = "there is no private folder to keep it in: " + folder_->problem();
        return false;
    }
    // Never write what load() would reject.
    bool loadable = !serverMark.empty() && serverMark.size() <= maxServerMark && ramps.size() <= maxCrtcs;
    for (const auto& [crtc, ramp] : ramps)
        loadable = loadable && ramp.size() != 0 && ramp.size() <= maxRampSize && ramp.green.size() == ramp.size()
                && ramp.blue.size() == ramp.size();
    if (!loadable) {
        problem_ = serverMark.empty() ? "the X server cannot be told apart from one started later"
                                      : "the displays' ramps are out of bounds";
        return false;
    }

    std::string out(magic);
    put(out, version);
    put(out, started_);
    put(out, static_cast<std::uint32_t>(serverMark.size()));
    out += serverMark;
    put(out, static_cast<std::uint32_t>(ramps.size()));
    for (const auto& [crtc, ramp] : ramps) {
        put(out, crtc);
        put(out, static_cast<std::uint32_t>(ramp.size()));
        for (const auto* channel : {&ramp.red, &ramp.green, &ramp.blue})
            for (const std::uint16_t value : *channel)
                put(out, value);
    }
    put(out, fnv1a(out));

    if (!folder_->replaceFile(fileName_, out)) {
        problem_ = std::strerror(errno);
        return false;
    }
    problem_.clear();
    return true;
}

GammaJournal::Contents GammaJournal::load() const
{
    RuntimeFolder::Contents file = folder_->readFile(fileName_, maxFileSize);
    switch (file.state) {
    case RuntimeFolder::Contents::State::Absent:
        return {};
    case RuntimeFolder::Contents::State::Refused: {
        Contents refused;
        refused.state = Contents::State::Refused;
        refused.problem = std::move(file.problem);
        return refused;
    }
    case RuntimeFolder::Contents::State::Read:
        break;
    }
    return parse(file.bytes);
}

void GammaJournal::remove()
{
    folder_->removeFile(fileName_);
}

std::vector<GammaJournal> GammaJournal::leftBehind() const
{
    std::vector<GammaJournal> journals;
    for (std::string& name : folder_->fileNames()) {
        const std::optional<pid_t> owner = ownerOf(name, prefix_);
        if (owner && (*owner == 0 || name == fileName_ || !isRunningLunaveil(*owner)))
            journals.push_back(GammaJournal(folder_, prefix_, std::move(name)));
    }
    return journals;
}

}  // namespace lunaveil
