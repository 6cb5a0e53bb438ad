#pragma once
// The monitors of the X11 desktop as RandR has them now, and word of each change.

#include <QAbstractNativeEventFilter>
#include <QRect>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace lunaveil {

// Qt's own screens do not follow every change of the monitor layout: with RandR 1.5 a monitor
// moved (arranged anew, made a mirror) keeps its old geometry in Qt until a monitor is added or
// removed. This reads the monitors through Qt's X connection, in the device-independent
// coordinates Qt places windows in, and hears of changes among the RandR events Qt already
// selects on the root window.
class X11Monitors final : public QAbstractNativeEventFilter {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // Null unless the application runs on X11 (Qt's xcb platform) with RandR 1.5.
    static std::unique_ptr<X11Monitors> create();

    X11Monitors(Passkey, std::uint32_t root, std::uint8_t randrFirstEvent);
    ~X11Monitors() override;

    X11Monitors(const X11Monitors&) = delete;
    X11Monitors& operator=(const X11Monitors&) = delete;

    // The active monitors, primary first; empty when the server cannot say.
    std::vector<QRect> areas() const;
    // Called for each RandR change of the layout, from inside Qt's event handling.
    std::function<void()> onChanged;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::uint32_t root_;
    std::uint8_t randrFirstEvent_;
};

}  // namespace lunaveil
