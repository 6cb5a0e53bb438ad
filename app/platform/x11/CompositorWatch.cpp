#include "platform/x11/CompositorWatch.h"

#include "platform/x11/XcbReply.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtGlobal>

#include <cstdlib>
#include <string>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace lunaveil {

void CompositorWatch::Disconnect::operator()(xcb_connection_t* connection) const
{
    xcb_disconnect(connection);
}

CompositorWatch::CompositorWatch(const char* displayName)
{
    int screenNumber = 0;
    connection_.reset(xcb_connect(displayName, &screenNumber));
    xcb_connection_t* c = connection_.get();
    if (xcb_connection_has_error(c)) {
        qWarning("Lunaveil: cannot reach X display %s; no compositing manager can be found there",
                 shownDisplayName(displayName));
        connection_.reset();
        return;
    }

    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0) {
        qWarning("Lunaveil: X display %s has no screen %d", shownDisplayName(displayName), screenNumber);
        connection_.reset();
        return;
    }
    const xcb_window_t root = screens.data->root;

    const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber);
    const auto atom = waitFor(xcb_intern_atom_reply, c,
                              xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()));
    if (!atom) {
        connection_.reset();
        return;
    }
    selection_ = atom->atom;

    // Ask to be told of owner changes before reading the owner, so no change falls between the two.
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    const auto version = xfixes != nullptr && xfixes->present
        ? waitFor(xcb_xfixes_query_version_reply, c, xcb_xfixes_query_version(c, 1, 0))
        : nullptr;
    const bool watchable = version && QCoreApplication::instance() != nullptr;
    if (watchable) {
        xfixesFirstEvent_ = xfixes->first_event;
        xcb_xfixes_select_selection_input(c, root, selection_,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                              | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                              | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    } else if (!version) {
        qWarning("Lunaveil: X display %s lacks XFixes; a compositing manager started later will go unnoticed",
                 shownDisplayName(displayName));
    }
    const auto owner = waitFor(xcb_get_selection_owner_reply, c, xcb_get_selection_owner(c, selection_));
    active_ = owner && owner->owner != XCB_NONE;

    if (!watchable) {
        connection_.reset();  // nothing more to hear from the server
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { readEvents(); });
    // Events that came in while waiting for the replies above sit in XCB's queue, unseen by the notifier.
    QMetaObject::invokeMethod(notifier_.get(), [this] { readEvents(); }, Qt::QueuedConnection);
}

CompositorWatch::~CompositorWatch() = default;

void CompositorWatch::readEvents()
{
    bool active = active_;
    while (const XcbPointer<xcb_generic_event_t> event{xcb_poll_for_event(connection_.get())}) {
        if ((event->response_type & ~0x80) != xfixesFirstEvent_ + XCB_XFIXES_SELECTION_NOTIFY)
            continue;
        const auto& notify = *reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event.get());
        // A destroyed owner window or a closed owner client leave the selection without owner.
        if (notify.selection == selection_)
            active = notify.subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER && notify.owner != XCB_NONE;
    }
    if (xcb_connection_has_error(connection_.get()) && notifier_->isEnabled()) {
        // A closed socket stays readable forever; watching it on would spin the event loop.
        notifier_->setEnabled(false);
        qWarning("Lunaveil: lost the X display; assuming no compositing manager runs");
        active = false;
    }
    // Last, as the callback may destroy this object.
    if (active != active_) {
        active_ = active;
        if (const auto callback = onChanged)  // a copy outlives this object
            callback();
    }
}

}  // namespace lunaveil
