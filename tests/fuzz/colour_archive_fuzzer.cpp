// Fuzzes the colour blob decoder: no input crashes it, and what it accepts archives back to
// the very same bytes.

#include "settings/ColourArchive.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace lunaveil;
    const QByteArray blob(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const std::optional<Colour> colour = unarchiveColour(blob); colour && archiveColour(*colour) != blob)
        __builtin_trap();
    return 0;
}
