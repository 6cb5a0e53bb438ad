#include "ScreenProbe.h"

#include "platform/x11/XcbReply.h"

#include <QByteArray>

#include <cmath>
#include <cstring>

#include <xcb/randr.h>

namespace lunaveil::test {

ScreenProbe::ScreenProbe(const std::string& displayName) : connection_(xcb_connect(displayName.c_str(), nullptr))
{
    if (xcb_connection_has_error(connection_) == 0)
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
}

ScreenProbe::~ScreenProbe()
{
    xcb_disconnect(connection_);
}

std::optional<QRgb> ScreenProbe::pixel(int x, int y) const
{
    const auto image = waitFor(xcb_get_image_reply, connection_,
                               xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, static_cast<std::int16_t>(x),
                                             static_cast<std::int16_t>(y), 1, 1, ~0u));
    if (!image || image->depth != 24 || xcb_get_image_data_length(image.get()) < 4)
        return std::nullopt;
    const std::uint8_t* bgrx = xcb_get_image_data(image.get());
    return qRgb(bgrx[2], bgrx[1], bgrx[0]);
}

bool ScreenProbe::isOverrideRedirect(WId window) const
{
    const auto attributes = waitFor(xcb_get_window_attributes_reply, connection_,
                                    xcb_get_window_attributes(connection_, static_cast<xcb_window_t>(window)));
    return attributes && attributes->override_redirect;
}

bool ScreenProbe::hasWindowManager() const
{
    if (!ownsSelection("WM_S0"))
        return false;
    const auto workArea = waitFor(xcb_get_property_reply, connection_,
                                  xcb_get_property(connection_, 0, root_, atom("_NET_WORKAREA"), XCB_ATOM_ANY, 0, 0));
    return workArea && workArea->type != XCB_NONE;
}

std::vector<QRect> ScreenProbe::monitors() const
{
    const auto reply = waitFor(xcb_randr_get_monitors_reply, connection_, xcb_randr_get_monitors(connection_, root_, 1));
    std::vector<QRect> found;
    if (reply)
        for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0; xcb_randr_monitor_info_next(&it))
            found.emplace_back(it.data->x, it.data->y, it.data->width, it.data->height);
    return found;
}

std::vector<xcb_window_t> ScreenProbe::windowsOf(qint64 pid, bool mappedOnly) const
{
    std::vector<xcb_window_t> found = children(root_);
    std::erase_if(found, [&](xcb_window_t window) {
        return this->pid(window) != pid || (mappedOnly && !isMapped(window));
    });
    return found;
}

QString ScreenProbe::title(xcb_window_t window) const
{
    const QByteArray utf8 = property(window, atom("_NET_WM_NAME"));
    return QString::fromUtf8(utf8.isEmpty() ? property(window, XCB_ATOM_WM_NAME) : utf8);
}

qint64 ScreenProbe::pid(xcb_window_t window) const
{
    const QByteArray value = property(window, atom("_NET_WM_PID"));
    std::uint32_t pid = 0;
    if (value.size() == sizeof pid)
        std::memcpy(&pid, value.constData(), sizeof pid);
    return pid;
}

QRect ScreenProbe::geometry(xcb_window_t window) const
{
    const auto size = waitFor(xcb_get_geometry_reply, connection_, xcb_get_geometry(connection_, window));
    const auto position = waitFor(xcb_translate_coordinates_reply, connection_,
                                  xcb_translate_coordinates(connection_, window, root_, 0, 0));
    if (!size || !position)
        return {};
    return {position->dst_x, position->dst_y, size->width, size->height};
}

xcb_window_t ScreenProbe::find(const std::function<bool(xcb_window_t, bool inTray)>& matches) const
{
    return find(root_, false, matches);
}

xcb_window_t ScreenProbe::find(xcb_window_t window, bool inTray, const std::function<bool(xcb_window_t, bool)>& matches) const
{
    for (const xcb_window_t child : children(window)) {
        if (!isMapped(child))
            continue;
        if (matches(child, inTray))
            return child;
        // WM_CLASS is "instance\0class\0".
        const bool tray = inTray || property(child, XCB_ATOM_WM_CLASS).split('\0').value(1) == "trayer";
        if (const xcb_window_t found = find(child, tray, matches); found != XCB_NONE)
            return found;
    }
    return XCB_NONE;
}

void ScreenProbe::paintBackground(int x, int y, int width, int height, QRgb colour) const
{
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const xcb_window_t window = xcb_generate_id(connection_);
    // A 24-bit TrueColor root visual takes the pixel as 0xRRGGBB.
    const std::uint32_t values[] = {colour & 0xffffffu, 1};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(connection_, window);
    waitFor(xcb_get_input_focus_reply, connection_, xcb_get_input_focus(connection_));
}

xcb_atom_t ScreenProbe::atom(const std::string& name) const
{
    const auto reply = waitFor(xcb_intern_atom_reply, connection_,
                               xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.c_str()));
    return reply ? reply->atom : XCB_NONE;
}

xcb_window_t ScreenProbe::selectionOwner(const std::string& name) const
{
    const auto owner = waitFor(xcb_get_selection_owner_reply, connection_,
                               xcb_get_selection_owner(connection_, atom(name)));
    return owner ? owner->owner : XCB_NONE;
}

QByteArray ScreenProbe::property(xcb_window_t window, xcb_atom_t property) const
{
    const auto reply = waitFor(xcb_get_property_reply, connection_,
                               xcb_get_property(connection_, 0, window, property, XCB_ATOM_ANY, 0, 1024));
    if (!reply || reply->type == XCB_NONE)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

bool ScreenProbe::isMapped(xcb_window_t window) const
{
    const auto attributes = waitFor(xcb_get_window_attributes_reply, connection_,
                                    xcb_get_window_attributes(connection_, window));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

std::vector<xcb_window_t> ScreenProbe::children(xcb_window_t window) const
{
    const auto tree = waitFor(xcb_query_tree_reply, connection_, xcb_query_tree(connection_, window));
    if (!tree)
        return {};
    const xcb_window_t* first = xcb_query_tree_children(tree.get());
    return {first, first + xcb_query_tree_children_length(tree.get())};
}

bool near(QRgb actual, QRgb expected, int tolerance)
{
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

QRgb blend(QRgb background, QRgb fill, double alpha)
{
    const auto channel = [alpha](int under, int over) {
        return static_cast<int>(std::lround(under * (1.0 - alpha) + over * alpha));
    };
    return qRgb(channel(qRed(background), qRed(fill)), channel(qGreen(background), qGreen(fill)),
                channel(qBlue(background), qBlue(fill)));
}

}  // namespace lunaveil::test
