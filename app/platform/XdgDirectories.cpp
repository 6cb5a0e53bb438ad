#include "XdgDirectories.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace lunaveil {
namespace {

std::filesystem::path absoluteFromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return {};
    return value;
}

}  // namespace

std::filesystem::path homeDirectory()
{
    if (auto home = absoluteFromEnvironment("HOME"); !home.empty())
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return "/";
}

std::filesystem::path configHome()
{
    if (auto dir = absoluteFromEnvironment("XDG_CONFIG_HOME"); !dir.empty())
        return dir;
    return homeDirectory() / ".config";
}

}  // namespace lunaveil
