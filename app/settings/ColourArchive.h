#pragma once
// The byte encoding of a Colour in the settings file.
//
// Layout (little-endian, 6 + 8·(n+1) bytes):
//   "LVC1"                      magic and version
//   1 byte   colour space       1 calibrated RGB, 2 device RGB, 3 grey
//   1 byte   n                  component count: 3 for RGB, 1 for grey
//   n × f64  components         IEEE-754 binary64
//   1 × f64  alpha
// Doubles are kept bit for bit, so a colour reads back equal to the one written.

#include "common/Colour.h"

#include <QByteArray>
#include <optional>

namespace lunaveil {

QByteArray archiveColour(const Colour& colour);

// Empty for anything that is not a well-formed archive of a finite colour.
std::optional<Colour> unarchiveColour(const QByteArray& data);

}  // namespace lunaveil
