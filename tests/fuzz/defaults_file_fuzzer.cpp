// Fuzzes the reading of the settings file: whatever the bytes, parsing and decoding never crash,
// and every value read back re-encodes to itself.

#include "settings/ColourArchive.h"
#include "settings/DefaultsFormat.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace lunaveil;
    const std::optional<QJsonObject> parsed =
        parseDefaults(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!parsed)
        return 0;
    for (auto it = parsed->constBegin(); it != parsed->constEnd(); ++it) {
        const std::optional<StoredValue> value = decodeValue(it.value());
        if (!value)
            continue;
        if (const auto* blob = std::get_if<QByteArray>(&*value))
            (void)unarchiveColour(*blob);
        if (decodeValue(encodeValue(*value)) != value)
            __builtin_trap();
    }
    (void)parseDefaults(serialiseDefaults(*parsed));
    return 0;
}
