#include "platform/x11/X11StackingGuard.h"

#include "platform/x11/QtXcbConnection.h"
#include "platform/x11/XcbReply.h"

#include <QCoreApplication>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <utility>

#include <xcb/xcb.h>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;

// Two programs that both keep a window on top would otherwise raise theirs in turn as fast as
// the server allows; this bounds such a contest to a few raises a second.
constexpr auto minimumRaiseInterval = 100ms;

// The root of the X screen `window` is on; none when the window is gone.
xcb_window_t rootOf(xcb_connection_t* connection, xcb_window_t window)
{
    const auto geometry = waitFor(xcb_get_geometry_reply, connection, xcb_get_geometry(connection, window));
    return geometry ? geometry->root : XCB_NONE;
}

}  // namespace

std::shared_ptr<X11StackingGuard> X11StackingGuard::create()
{
    if (qtXcbConnection() == nullptr)
        return nullptr;
    return std::make_shared<X11StackingGuard>(Passkey{});
}

X11StackingGuard::X11StackingGuard(Passkey)
{
    raiseTimer_.setSingleShot(true);
    QObject::connect(&raiseTimer_, &QTimer::timeout, &raiseTimer_, [this] { runCheck(); });
}

X11StackingGuard::~X11StackingGuard()
{
    if (!windows_.empty())
        watchRoot(false);
}

void X11StackingGuard::guard(WId window)
{
    const auto id = static_cast<std::uint32_t>(window);
    if (windows_.empty()) {
        xcb_connection_t* c = qtXcbConnection();
        root_ = c != nullptr ? rootOf(c, id) : XCB_NONE;
        if (root_ == XCB_NONE)
            return;
        watchRoot(true);
    }
    if (!isGuarded(id))
        windows_.push_back(id);
    runCheck();
}

void X11StackingGuard::release(WId window)
{
    const auto id = static_cast<std::uint32_t>(window);
    if (std::erase(windows_, id) > 0 && windows_.empty()) {
        raiseTimer_.stop();
        watchRoot(false);
    }
}

bool X11StackingGuard::isGuarded(std::uint32_t window) const
{
    return std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

// Adds or removes SubstructureNotify in the root window mask Qt's connection already has.
void X11StackingGuard::watchRoot(bool watch)
{
    xcb_connection_t* c = qtXcbConnection();
    if (c == nullptr)
        return;
    const auto attributes = waitFor(xcb_get_window_attributes_reply, c, xcb_get_window_attributes(c, root_));
    if (!attributes)
        return;
    const std::uint32_t mask = watch ? attributes->your_event_mask | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY
                                     : attributes->your_event_mask & ~std::uint32_t{XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
    xcb_change_window_attributes(c, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    if (watch)
        QCoreApplication::instance()->installNativeEventFilter(this);
    else
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11StackingGuard::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (windows_.empty() || eventType != "xcb_generic_event_t")
        return false;
    // Only what happens among the root's children counts, not Qt's reports on its own windows.
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & ~0x80) {
    case XCB_MAP_NOTIFY: {
        // A new window is mapped at the top; one mapped again goes back where it stood.
        const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        if (map->event == root_ && !isGuarded(map->window))
            scheduleCheck();
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        // Qt merges queued ConfigureNotify events of the root's children into the last one, so
        // any change may hide a restacking: the check looks at the stacking order itself.
        const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        // A guarded window raised over Lunaveil's own counts too; the check after a restack of
        // the guard's own finds everything right and does nothing.
        if (configure->event == root_)
            scheduleCheck();
        break;
    }
    case XCB_CIRCULATE_NOTIFY:
        if (reinterpret_cast<const xcb_circulate_notify_event_t*>(event)->event == root_)
            scheduleCheck();
        break;
    case XCB_REPARENT_NOTIFY:  // a window given to the root is put on top
        if (reinterpret_cast<const xcb_reparent_notify_event_t*>(event)->parent == root_)
            scheduleCheck();
        break;
    default:
        break;
    }
    return false;  // Qt handles every event as before
}

void X11StackingGuard::scheduleCheck()
{
    if (raiseTimer_.isActive())
        return;
    const auto since = std::chrono::milliseconds(sinceRaise_.isValid() ? sinceRaise_.elapsed() : minimumRaiseInterval.count());
    raiseTimer_.start(std::max(0ms, minimumRaiseInterval - since));
}

// Right is: above the highest window of another program, the guarded windows, then only
// Lunaveil's own. Windows below that one stay covered by it, whoever's they are.
void X11StackingGuard::runCheck()
{
    xcb_connection_t* c = qtXcbConnection();
    if (c == nullptr || windows_.empty())
        return;
    const auto tree = waitFor(xcb_query_tree_reply, c, xcb_query_tree(c, root_));
    if (!tree)
        return;
    const xcb_window_t* first = xcb_query_tree_children(tree.get());  // bottom to top
    const std::vector<xcb_window_t> children(first, first + xcb_query_tree_children_length(tree.get()));
    const std::vector<std::uint32_t> own = rootChildrenAbove();
    const auto isOwn = [&](xcb_window_t window) { return std::find(own.begin(), own.end(), window) != own.end(); };

    const auto highestOther = std::find_if(children.rbegin(), children.rend(), [&](xcb_window_t window) {
        return !isGuarded(window) && !isOwn(window);
    });
    const auto aboveOther = highestOther.base();  // the first window above it
    const bool everyGuardedAbove = static_cast<std::size_t>(std::count_if(aboveOther, children.end(), [&](xcb_window_t window) {
        return isGuarded(window);
    })) == windows_.size();
    // Above it, the guarded windows come first: none of Lunaveil's own may be under one.
    const auto firstOwn = std::find_if(aboveOther, children.end(), isOwn);
    const bool ownOnTop = std::none_of(firstOwn, children.end(), [&](xcb_window_t window) { return isGuarded(window); });
    if (everyGuardedAbove && ownOnTop)
        return;
    // Lunaveil's windows that stood above the tint (a pop-up another program's window was mapped
    // over) come back above it, in their order.
    const auto lowestGuarded = std::find_if(children.begin(), children.end(), [&](xcb_window_t window) { return isGuarded(window); });
    std::vector<std::uint32_t> ownAbove;
    std::copy_if(lowestGuarded, children.end(), std::back_inserter(ownAbove), isOwn);
    restackAbove(highestOther != children.rend() ? *highestOther : XCB_NONE, ownAbove);
}

// The root's children that hold Lunaveil's own windows: each such window itself where it is one
// of them (a pop-up, or any window without a window manager), else the frame around it.
std::vector<std::uint32_t> X11StackingGuard::rootChildrenAbove() const
{
    std::vector<std::uint32_t> found;
    xcb_connection_t* c = qtXcbConnection();
    if (!windowsAbove_ || c == nullptr)
        return found;
    for (QWindow* window : windowsAbove_()) {
        if (window == nullptr || !window->isVisible() || window->handle() == nullptr)
            continue;
        const bool framed = !window->frameMargins().isNull();
        auto id = static_cast<xcb_window_t>(window->winId());
        // Up from the window to the root, as far as a frame goes; an embedded window's parent
        // (the tray's) is no frame of Lunaveil's.
        for (int depth = 0; depth < 4 && id != XCB_NONE; ++depth) {
            const auto tree = waitFor(xcb_query_tree_reply, c, xcb_query_tree(c, id));
            if (!tree)
                break;
            if (tree->parent == root_) {
                if (!isGuarded(id))
                    found.push_back(id);
                break;
            }
            id = framed ? tree->parent : XCB_NONE;
        }
    }
    return found;
}

// Puts the guarded windows right above `sibling`, in order, or at the bottom when there is none,
// and then `raised` on top.
void X11StackingGuard::restackAbove(std::uint32_t sibling, const std::vector<std::uint32_t>& raised)
{
    xcb_connection_t* c = qtXcbConnection();
    if (c == nullptr)
        return;
    for (const std::uint32_t window : windows_) {
        // The sibling may be gone by now; the next change of the stacking brings another check.
        const xcb_void_cookie_t cookie = [&] {
            if (sibling == XCB_NONE) {
                const std::uint32_t bottom = XCB_STACK_MODE_BELOW;
                return xcb_configure_window_checked(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &bottom);
            }
            const std::uint32_t above[] = {sibling, XCB_STACK_MODE_ABOVE};
            return xcb_configure_window_checked(c, window, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE,
                                                above);
        }();
        xcb_discard_reply(c, cookie.sequence);
        sibling = window;
    }
    const std::uint32_t top = XCB_STACK_MODE_ABOVE;
    for (const std::uint32_t window : raised)
        xcb_discard_reply(c, xcb_configure_window_checked(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &top).sequence);
    xcb_flush(c);
    sinceRaise_.start();
}

}  // namespace lunaveil
