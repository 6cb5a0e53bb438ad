#include "ScreenProbe.h"

#include <cmath>
#include <cstdlib>
#include <memory>

namespace lunaveil::test {
namespace {

struct FreeMemory {
    void operator()(void* memory) const { std::free(memory); }
};
template <typename T>
using XcbPointer = std::unique_ptr<T, FreeMemory>;

}  // namespace

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
    const XcbPointer<xcb_get_image_reply_t> image(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), 1, 1, ~0u),
        nullptr));
    if (!image || image->depth != 24 || xcb_get_image_data_length(image.get()) < 4)
        return std::nullopt;
    const std::uint8_t* bgrx = xcb_get_image_data(image.get());
    return qRgb(bgrx[2], bgrx[1], bgrx[0]);
}

std::vector<xcb_window_t> ScreenProbe::mappedStack() const
{
    const XcbPointer<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
    std::vector<xcb_window_t> mapped;
    if (!tree)
        return mapped;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const XcbPointer<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, children[i]), nullptr));
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
            mapped.push_back(children[i]);
    }
    return mapped;
}

void ScreenProbe::raise(WId window) const
{
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(connection_, static_cast<xcb_window_t>(window), XCB_CONFIG_WINDOW_STACK_MODE, &above);
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

bool ScreenProbe::isOverrideRedirect(WId window) const
{
    const XcbPointer<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, static_cast<xcb_window_t>(window)), nullptr));
    return attributes && attributes->override_redirect;
}

bool ScreenProbe::hasWindowManager() const
{
    if (selectionOwner("WM_S0") == XCB_NONE)
        return false;
    const XcbPointer<xcb_get_property_reply_t> workArea(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, root_, atom("_NET_WORKAREA"), XCB_ATOM_ANY, 0, 0), nullptr));
    return workArea && workArea->type != XCB_NONE;
}

bool ScreenProbe::hasCompositor() const
{
    return selectionOwner("_NET_WM_CM_S0") != XCB_NONE;
}

std::vector<xcb_window_t> ScreenProbe::windowsOf(qint64 pid, bool mappedOnly) const
{
    const XcbPointer<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
    std::vector<xcb_window_t> found;
    if (!tree)
        return found;
    const xcb_atom_t pidAtom = atom("_NET_WM_PID");
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const XcbPointer<xcb_get_property_reply_t> property(xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, children[i], pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
        if (!property || xcb_get_property_value_length(property.get()) != 4 ||
            *static_cast<const std::uint32_t*>(xcb_get_property_value(property.get())) != pid)
            continue;
        if (mappedOnly) {
            const XcbPointer<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
                connection_, xcb_get_window_attributes(connection_, children[i]), nullptr));
            if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
        }
        found.push_back(children[i]);
    }
    return found;
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
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

xcb_atom_t ScreenProbe::atom(const std::string& name) const
{
    const XcbPointer<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
        nullptr));
    return reply ? reply->atom : XCB_NONE;
}

xcb_window_t ScreenProbe::selectionOwner(const std::string& name) const
{
    const XcbPointer<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        connection_, xcb_get_selection_owner(connection_, atom(name)), nullptr));
    return owner ? owner->owner : XCB_NONE;
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
