// Writes SETTINGS_WRITER_COUNT = 1, 2, 3, ... to a settings file, printing each value once its write returned.
// Used to race and to kill a second Lunaveil writer.

#include "settings/KeyValueDataAccess.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: settings_writer FILE COUNT\n");
        return 2;
    }
    lunaveil::KeyValueDataAccess settings(argv[1]);
    const long count = std::strtol(argv[2], nullptr, 10);
    for (long i = 1; i <= count; ++i) {
        settings.setValue(QStringLiteral("SETTINGS_WRITER_COUNT"), static_cast<double>(i));
        std::printf("%ld\n", i);
        std::fflush(stdout);
    }
    return 0;
}
