#pragma once
// A test's own X connection, to look at the server the way another client does: pixels,
// monitors, windows (where they are, whose, what they are called, how they stack), the
// window manager, compositor and tray.

#include <QColor>
#include <QRect>
#include <QString>
#include <QtGui/qwindowdefs.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <xcb/xcb.h>

namespace lunaveil::test {

class ScreenProbe {
public:
    explicit ScreenProbe(const std::string& displayName);
    ~ScreenProbe();
    ScreenProbe(const ScreenProbe&) = delete;
    ScreenProbe& operator=(const ScreenProbe&) = delete;

    // The pixel the screen shows at (x, y), as 0xRRGGBB: what scan-out sends to the monitor.
    std::optional<QRgb> pixel(int x, int y) const;
    bool isOverrideRedirect(WId window) const;
    // Openbox claims WM_S0 early in its start and publishes the work area later.
    bool hasWindowManager() const;
    // Some client owns _NET_WM_CM_S0: translucent windows blend.
    bool hasCompositor() const { return ownsSelection("_NET_WM_CM_S0"); }
    bool ownsSelection(const std::string& selection) const { return selectionOwner(selection) != XCB_NONE; }
    std::vector<QRect> monitors() const;

    // The top-level windows a process made (by their _NET_WM_PID), optionally only the mapped ones.
    std::vector<xcb_window_t> windowsOf(qint64 pid, bool mappedOnly) const;
    QString title(xcb_window_t window) const;
    // Whether the window has the property (such as "_NET_WM_ICON") set, to anything.
    bool hasProperty(xcb_window_t window, const std::string& name) const { return !property(window, atom(name)).isEmpty(); }
    qint64 pid(xcb_window_t window) const;
    // Where the window is on the screen; empty once it is gone.
    QRect geometry(xcb_window_t window) const;
    // The first mapped window, depth first from the root, for which `matches(window, inTray)`
    // holds; inTray tells that it sits in the panel of trayer.
    xcb_window_t find(const std::function<bool(xcb_window_t, bool inTray)>& matches) const;
    // Maps a plain override-redirect window of `colour` over the rectangle, as a known background
    // beneath everything mapped later; it lives as long as this probe.
    void paintBackground(int x, int y, int width, int height, QRgb colour) const;

private:
    xcb_atom_t atom(const std::string& name) const;
    xcb_window_t selectionOwner(const std::string& name) const;
    QByteArray property(xcb_window_t window, xcb_atom_t property) const;
    bool isMapped(xcb_window_t window) const;
    std::vector<xcb_window_t> children(xcb_window_t window) const;
    xcb_window_t find(xcb_window_t window, bool inTray, const std::function<bool(xcb_window_t, bool)>& matches) const;

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_NONE;
};

// Whether two pixels agree within `tolerance` per channel.
bool near(QRgb actual, QRgb expected, int tolerance = 2);
// What laying `fill` at `alpha` over `background` shows, per channel v·(1−a) + c·a.
QRgb blend(QRgb background, QRgb fill, double alpha);

}  // namespace lunaveil::test
