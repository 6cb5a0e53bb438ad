#include "platform/x11/X11StackingGuard.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>

#include <xcb/xcb.h>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;

// Two programs that both keep a window on top would otherwise raise theirs in turn as fast as
// the server allows; this bounds such a contest to a few raises a second.
constexpr auto minimumRaiseInterval = 100ms;

xcb_connection_t* qtConnection()
{
    const auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

// The root of the X screen `window` is on; none when the window is gone.
xcb_window_t rootOf(xcb_connection_t* connection, xcb_window_t window)
{
    xcb_generic_error_t* error = nullptr;
    const std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), &error), &std::free);
    std::free(error);
    return geometry ? geometry->root : XCB_NONE;
}

}  // namespace

std::shared_ptr<X11StackingGuard> X11StackingGuard::create()
{
    if (qtConnection() == nullptr)
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
        xcb_connection_t* c = qtConnection();
        root_ = c != nullptr ? rootOf(c, id) : XCB_NONE;
        if (root_ == XCB_NONE)
            return;
        watchRoot(true);
    }
    if (!isGuarded(id))
        windows_.push_back(id);
    raiseAll();
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
    xcb_connection_t* c = qtConnection();
    if (c == nullptr)
        return;
    xcb_generic_error_t* error = nullptr;
    const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, root_), &error), &std::free);
    std::free(error);
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
            scheduleCheck(Check::Verify);
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        // Stacked right above a guarded window is above it for sure. Qt merges queued
        // ConfigureNotify events of the root's children into the last one, so any other
        // change may hide such a restacking: look at the stacking order then.
        const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        if (configure->event == root_ && !isGuarded(configure->window))
            scheduleCheck(isGuarded(configure->above_sibling) ? Check::Raise : Check::Verify);
        break;
    }
    case XCB_CIRCULATE_NOTIFY:
        if (reinterpret_cast<const xcb_circulate_notify_event_t*>(event)->event == root_)
            scheduleCheck(Check::Verify);
        break;
    case XCB_REPARENT_NOTIFY:  // a window given to the root is put on top
        if (reinterpret_cast<const xcb_reparent_notify_event_t*>(event)->parent == root_)
            scheduleCheck(Check::Verify);
        break;
    default:
        break;
    }
    return false;  // Qt handles every event as before
}

void X11StackingGuard::scheduleCheck(Check check)
{
    if (check == Check::Raise)
        pendingCheck_ = Check::Raise;
    if (raiseTimer_.isActive())
        return;
    const auto since = std::chrono::milliseconds(sinceRaise_.isValid() ? sinceRaise_.elapsed() : minimumRaiseInterval.count());
    raiseTimer_.start(std::max(0ms, minimumRaiseInterval - since));
}

void X11StackingGuard::runCheck()
{
    const Check check = std::exchange(pendingCheck_, Check::Verify);
    if (check == Check::Raise || anotherWindowIsAbove())
        raiseAll();
}

// True when a window that is not guarded stands above the lowest guarded one. Such a window
// may be unmapped, which makes a raise needless but harmless.
bool X11StackingGuard::anotherWindowIsAbove() const
{
    xcb_connection_t* c = qtConnection();
    if (c == nullptr)
        return false;
    xcb_generic_error_t* error = nullptr;
    const std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, root_), &error), &std::free);
    std::free(error);
    if (!tree)
        return false;
    const xcb_window_t* first = xcb_query_tree_children(tree.get());  // bottom to top
    const xcb_window_t* last = first + xcb_query_tree_children_length(tree.get());
    const xcb_window_t* lowestGuarded
        = std::find_if(first, last, [this](xcb_window_t window) { return isGuarded(window); });
    return std::any_of(lowestGuarded, last, [this](xcb_window_t window) { return !isGuarded(window); });
}

void X11StackingGuard::raiseAll()
{
    xcb_connection_t* c = qtConnection();
    if (c == nullptr || windows_.empty())
        return;
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    for (const std::uint32_t window : windows_)
        xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(c);
    sinceRaise_.start();
}

}  // namespace lunaveil
