#include "ColourArchive.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace lunaveil {
namespace {

constexpr char magic[] = {'L', 'V', 'C', '1'};
constexpr qsizetype headerSize = sizeof(magic) + 2;

void appendDouble(QByteArray& out, double value)
{
    auto bits = std::bit_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i, bits >>= 8)
        out.append(static_cast<char>(bits & 0xffu));
}

double readDouble(const char* in)
{
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | static_cast<unsigned char>(in[i]);
    return std::bit_cast<double>(bits);
}

std::optional<ColourSpace> spaceFromByte(unsigned char byte)
{
    switch (byte) {
    case static_cast<unsigned char>(ColourSpace::CalibratedRGB):
        return ColourSpace::CalibratedRGB;
    case static_cast<unsigned char>(ColourSpace::DeviceRGB):
        return ColourSpace::DeviceRGB;
    case static_cast<unsigned char>(ColourSpace::Grey):
        return ColourSpace::Grey;
    default:
        return std::nullopt;
    }
}

}  // namespace

QByteArray archiveColour(const Colour& colour)
{
    const std::size_t count = Colour::componentCount(colour.space());
    QByteArray out(magic, sizeof(magic));
    out.append(static_cast<char>(colour.space()));
    out.append(static_cast<char>(count));
    for (std::size_t i = 0; i < count; ++i)
        appendDouble(out, colour.components()[i]);
    appendDouble(out, colour.alpha());
    return out;
}

std::optional<Colour> unarchiveColour(const QByteArray& data)
{
    if (data.size() < headerSize || std::memcmp(data.constData(), magic, sizeof(magic)) != 0)
        return std::nullopt;
    const auto space = spaceFromByte(static_cast<unsigned char>(data[4]));
    if (!space)
        return std::nullopt;
    const auto count = static_cast<std::size_t>(static_cast<unsigned char>(data[5]));
    if (count != Colour::componentCount(*space) || data.size() != headerSize + 8 * static_cast<qsizetype>(count + 1))
        return std::nullopt;

    double values[Colour::maxComponents + 1] = {};
    for (std::size_t i = 0; i <= count; ++i) {
        values[i] = readDouble(data.constData() + headerSize + 8 * static_cast<qsizetype>(i));
        if (!std::isfinite(values[i]))
            return std::nullopt;
    }
    if (*space == ColourSpace::Grey)
        return Colour::grey(values[0], values[1]);
    return Colour::rgb(values[0], values[1], values[2], values[3], *space);
}

}  // namespace lunaveil
