#pragma once
// One way of putting the tint on the screens; the tint service runs one at a time.

#include "common/Colour.h"

namespace lunaveil {

class TintPresentation {
public:
    enum class Entry {
        Fade,    // a start: fades in
        Change,  // a new colour or strength for a running tint
        AtOnce,  // taking over from another way, with no fade
    };

    virtual ~TintPresentation() = default;
    // Puts `colour` at `alphaPercent` on the screens (again).
    virtual void show(const Colour& colour, double alphaPercent, Entry entry) = 0;
    // Ends the tint, fading out where this way fades; the displays get their own colours back.
    virtual void stop() = 0;
    // Takes the tint off the screens and leaves the displays to whatever comes next (an inversion).
    virtual void close() = 0;
};

}  // namespace lunaveil
