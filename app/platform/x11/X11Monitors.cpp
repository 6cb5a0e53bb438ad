#include "platform/x11/X11Monitors.h"

#include "platform/x11/QtXcbConnection.h"
#include "platform/x11/XcbReply.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>

#include <xcb/randr.h>

namespace lunaveil {

std::unique_ptr<X11Monitors> X11Monitors::create()
{
    xcb_connection_t* c = qtXcbConnection();
    if (c == nullptr)
        return nullptr;
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
    if (randr == nullptr || !randr->present)
        return nullptr;
    const auto version = waitFor(xcb_randr_query_version_reply, c, xcb_randr_query_version(c, 1, 5));
    if (!version || (version->major_version == 1 && version->minor_version < 5))
        return nullptr;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    return std::make_unique<X11Monitors>(Passkey{}, screen->root, randr->first_event);
}

X11Monitors::X11Monitors(Passkey, std::uint32_t root, std::uint8_t randrFirstEvent)
    : root_(root), randrFirstEvent_(randrFirstEvent)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11Monitors::~X11Monitors()
{
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

std::vector<QRect> X11Monitors::areas() const
{
    std::vector<QRect> areas;
    xcb_connection_t* c = qtXcbConnection();
    const auto reply = c != nullptr ? waitFor(xcb_randr_get_monitors_reply, c, xcb_randr_get_monitors(c, root_, 1))
                                    : nullptr;
    if (!reply)
        return areas;
    // Qt scales sizes by the device pixel ratio and keeps each screen's origin in device pixels.
    const QScreen* primary = QGuiApplication::primaryScreen();
    const double ratio = primary != nullptr ? primary->devicePixelRatio() : 1.0;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem; xcb_randr_monitor_info_next(&it)) {
        const QRect area(it.data->x, it.data->y, static_cast<int>(std::lround(it.data->width / ratio)),
                         static_cast<int>(std::lround(it.data->height / ratio)));
        areas.insert(it.data->primary ? areas.begin() : areas.end(), area);
    }
    return areas;
}

bool X11Monitors::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const int type = event->response_type & ~0x80;
    // Of RandR's notifications only CRTCs and outputs: a property such as an output's backlight
    // changes no layout.
    const bool layoutChanged = type == randrFirstEvent_ + XCB_RANDR_SCREEN_CHANGE_NOTIFY
        || (type == randrFirstEvent_ + XCB_RANDR_NOTIFY
            && (reinterpret_cast<const xcb_randr_notify_event_t*>(event)->subCode == XCB_RANDR_NOTIFY_CRTC_CHANGE
                || reinterpret_cast<const xcb_randr_notify_event_t*>(event)->subCode == XCB_RANDR_NOTIFY_OUTPUT_CHANGE));
    if (layoutChanged && onChanged)
        onChanged();
    return false;  // Qt handles them too
}

}  // namespace lunaveil
