#pragma once
// The freedesktop base directories Lunaveil keeps its files in.

#include <filesystem>

namespace lunaveil {

// $XDG_CONFIG_HOME, or ~/.config when it is unset, empty or not absolute.
std::filesystem::path configHome();

// $HOME, or the home folder of the password database when HOME is unset.
std::filesystem::path homeDirectory();

}  // namespace lunaveil
