#pragma once
// Whether translucent windows blend on this display (a compositing manager runs), and when that changes.

#include <functional>

namespace lunaveil {

class Compositor {
public:
    virtual ~Compositor() = default;
    virtual bool isActive() const = 0;

    // Called on the main thread after isActive() changed.
    std::function<void()> onChanged;
};

}  // namespace lunaveil
