#include "platform/x11/RandrCrtcs.h"

#include "platform/x11/XcbReply.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtGlobal>

#include <cstdlib>
#include <limits>
#include <random>
#include <string_view>
#include <utility>

#include <xcb/randr.h>

namespace lunaveil {
namespace {

constexpr std::uint16_t layoutChangeEvents = XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE
    | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE;

constexpr std::string_view serverMarkProperty = "_LUNAVEIL_SERVER_MARK";
constexpr std::size_t serverMarkLength = 32;

std::string randomMark()
{
    static constexpr std::string_view digits = "0123456789abcdef";
    std::random_device random;
    std::string mark;
    while (mark.size() < serverMarkLength)
        mark.push_back(digits[random() % digits.size()]);
    return mark;
}

}  // namespace

std::unique_ptr<RandrCrtcs> RandrCrtcs::create(const char* displayName)
{
    int screenNumber = 0;
    Connection connection(xcb_connect(displayName, &screenNumber));
    xcb_connection_t* c = connection.get();
    if (xcb_connection_has_error(c))
        return nullptr;

    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
    const auto version = randr != nullptr && randr->present
        ? waitFor(xcb_randr_query_version_reply, c, xcb_randr_query_version(c, 1, 5))
        : nullptr;
    const auto atLeast = [&version](std::uint32_t major, std::uint32_t minor) {
        return std::pair(version->major_version, version->minor_version) >= std::pair(major, minor);
    };
    if (!version || !atLeast(1, 2)) {
        qWarning("Lunaveil: X display %s has no RandR 1.2 gamma ramps; display gamma is unavailable",
                 shownDisplayName(displayName));
        return nullptr;
    }

    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0) {
        qWarning("Lunaveil: X display %s has no screen %d", shownDisplayName(displayName), screenNumber);
        return nullptr;
    }
    const xcb_window_t root = screens.data->root;

    xcb_randr_select_input(c, root, layoutChangeEvents);
    xcb_prefetch_maximum_request_length(c);
    xcb_flush(c);
    return std::make_unique<RandrCrtcs>(Passkey{}, std::move(connection), root,
                                             randr->first_event, atLeast(1, 3));
}

std::string RandrCrtcs::canonicalDisplayName(const char* displayName)
{
    char* host = nullptr;
    int display = 0;
    int screen = 0;
    if (xcb_parse_display(displayName, &host, &display, &screen) == 0)
        return {};
    const XcbPointer<char> owned(host);
    // "unix" names the local socket, as an empty host does.
    const std::string_view hostName = host;
    const std::string number = std::to_string(display);
    return hostName.empty() || hostName == "unix" ? number : std::string(hostName) + ":" + number;
}

RandrCrtcs::RandrCrtcs(Passkey, Connection connection, xcb_window_t root,
                                 std::uint8_t randrFirstEvent, bool hasCurrentResources)
    : connection_(std::move(connection))
    , root_(root)
    , randrFirstEvent_(randrFirstEvent)
    , hasCurrentResources_(hasCurrentResources)
{
    if (QCoreApplication::instance() == nullptr)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_.get()),
                                                  QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { readEvents(); });
}

RandrCrtcs::~RandrCrtcs() = default;

std::vector<GammaOutput> RandrCrtcs::crtcs()
{
    if (!connectionAlive())
        return {};
    // While RandR events are watched the layout cannot change unseen, so the every-second
    // re-application of a transfer costs no CRTC queries: only a look at events already here.
    if (knownCrtcs_)
        readEvents();
    if (knownCrtcs_)
        return *knownCrtcs_;
    xcb_connection_t* c = connection_.get();
    const std::vector<CrtcId> candidates = allCrtcs();

    // Ask about every CRTC before reading any answer: one round trip instead of one per CRTC.
    std::vector<std::pair<xcb_randr_get_crtc_info_cookie_t, xcb_randr_get_crtc_gamma_size_cookie_t>> cookies;
    cookies.reserve(candidates.size());
    for (const CrtcId crtc : candidates)
        cookies.emplace_back(xcb_randr_get_crtc_info(c, crtc, XCB_CURRENT_TIME), xcb_randr_get_crtc_gamma_size(c, crtc));

    std::vector<GammaOutput> result;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const auto info = waitFor(xcb_randr_get_crtc_info_reply, c, cookies[i].first);
        const auto gammaSize = waitFor(xcb_randr_get_crtc_gamma_size_reply, c, cookies[i].second);
        if (info && info->status == XCB_RANDR_SET_CONFIG_SUCCESS && info->num_outputs > 0 && gammaSize
            && gammaSize->size > 0)
            result.push_back({candidates[i], gammaSize->size});
    }
    if (notifier_)
        knownCrtcs_ = result;
    takeQueuedEvents();  // a change that came meanwhile forgets it again
    return connectionAlive() ? result : std::vector<GammaOutput>{};
}

std::vector<CrtcId> RandrCrtcs::allCrtcs()
{
    xcb_connection_t* c = connection_.get();
    const auto list = [](const auto& reply, auto first, auto length) {
        if (!reply)
            return std::vector<CrtcId>{};
        const auto* begin = first(reply.get());
        return std::vector<CrtcId>(begin, begin + length(reply.get()));
    };
    // The "current" form (RandR 1.3) does not make the server probe the outputs, which can take seconds.
    if (hasCurrentResources_)
        return list(waitFor(xcb_randr_get_screen_resources_current_reply, c,
                            xcb_randr_get_screen_resources_current(c, root_)),
                    xcb_randr_get_screen_resources_current_crtcs,
                    xcb_randr_get_screen_resources_current_crtcs_length);
    return list(waitFor(xcb_randr_get_screen_resources_reply, c, xcb_randr_get_screen_resources(c, root_)),
                xcb_randr_get_screen_resources_crtcs, xcb_randr_get_screen_resources_crtcs_length);
}

bool RandrCrtcs::isXWayland()
{
    if (!connectionAlive())
        return false;
    xcb_connection_t* c = connection_.get();
    const auto resources = waitFor(xcb_randr_get_screen_resources_current_reply, c,
                                   xcb_randr_get_screen_resources_current(c, root_));
    if (!resources)
        return false;
    const xcb_randr_output_t* outputs = xcb_randr_get_screen_resources_current_outputs(resources.get());
    const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
    std::vector<xcb_randr_get_output_info_cookie_t> cookies;
    for (int i = 0; i < count; ++i)
        cookies.push_back(xcb_randr_get_output_info(c, outputs[i], resources->config_timestamp));
    bool xwayland = false;
    for (const auto cookie : cookies) {
        const auto info = waitFor(xcb_randr_get_output_info_reply, c, cookie);
        if (!info)
            continue;
        const std::string_view name(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get())),
                                    static_cast<std::size_t>(xcb_randr_get_output_info_name_length(info.get())));
        xwayland = xwayland || name.starts_with("XWAYLAND");
    }
    takeQueuedEvents();
    return xwayland;
}

std::optional<GammaRamp> RandrCrtcs::getRamp(CrtcId crtc)
{
    return getRamps(std::span(&crtc, 1)).front();
}

std::vector<std::optional<GammaRamp>> RandrCrtcs::getRamps(std::span<const CrtcId> crtcs)
{
    std::vector<std::optional<GammaRamp>> ramps(crtcs.size());
    if (!connectionAlive())
        return ramps;
    xcb_connection_t* c = connection_.get();
    std::vector<xcb_randr_get_crtc_gamma_cookie_t> cookies;
    cookies.reserve(crtcs.size());
    for (const CrtcId crtc : crtcs)
        cookies.push_back(xcb_randr_get_crtc_gamma(c, crtc));
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        const auto reply = waitFor(xcb_randr_get_crtc_gamma_reply, c, cookies[i]);
        if (!reply || reply->size == 0)
            continue;
        const int size = reply->size;
        if (xcb_randr_get_crtc_gamma_red_length(reply.get()) != size
            || xcb_randr_get_crtc_gamma_green_length(reply.get()) != size
            || xcb_randr_get_crtc_gamma_blue_length(reply.get()) != size)
            continue;
        const auto channel = [size](const std::uint16_t* first) {
            return std::vector<std::uint16_t>(first, first + size);
        };
        ramps[i] = GammaRamp{channel(xcb_randr_get_crtc_gamma_red(reply.get())),
                             channel(xcb_randr_get_crtc_gamma_green(reply.get())),
                             channel(xcb_randr_get_crtc_gamma_blue(reply.get()))};
    }
    takeQueuedEvents();
    return ramps;
}

bool RandrCrtcs::setRamp(CrtcId crtc, const GammaRamp& ramp)
{
    const RampFor one{crtc, &ramp};
    return setRamps(std::span(&one, 1)).front();
}

std::vector<bool> RandrCrtcs::setRamps(std::span<const RampFor> ramps)
{
    std::vector<bool> done(ramps.size(), false);
    if (!connectionAlive())
        return done;
    xcb_connection_t* c = connection_.get();
    std::vector<std::optional<xcb_void_cookie_t>> cookies(ramps.size());
    for (std::size_t i = 0; i < ramps.size(); ++i) {
        const GammaRamp& ramp = *ramps[i].ramp;
        const std::size_t size = ramp.size();
        if (size == 0 || size > std::numeric_limits<std::uint16_t>::max() || ramp.green.size() != size
            || ramp.blue.size() != size)
            continue;
        // XCB shuts the whole connection down on a request over the server's limit, so refuse it here.
        const std::size_t requestBytes = sizeof(xcb_randr_set_crtc_gamma_request_t) + 3 * size * sizeof(std::uint16_t);
        if (requestBytes > std::size_t{xcb_get_maximum_request_length(c)} * 4)
            continue;
        // The server compares the size with the CRTC's own and answers BadMatch when they differ.
        cookies[i] = xcb_randr_set_crtc_gamma_checked(c, ramps[i].display, static_cast<std::uint16_t>(size),
                                                      ramp.red.data(), ramp.green.data(), ramp.blue.data());
    }
    // The first check waits for the server; by then it has answered all the others too.
    for (std::size_t i = 0; i < ramps.size(); ++i)
        if (cookies[i])
            done[i] = XcbPointer<xcb_generic_error_t>(xcb_request_check(c, *cookies[i])) == nullptr;
    takeQueuedEvents();
    if (!connectionAlive())
        std::fill(done.begin(), done.end(), false);
    return done;
}

std::string RandrCrtcs::serverMark(bool create)
{
    if (!connectionAlive())
        return {};
    xcb_connection_t* c = connection_.get();
    const auto atom = waitFor(xcb_intern_atom_reply, c,
                              xcb_intern_atom(c, create ? 0 : 1, static_cast<std::uint16_t>(serverMarkProperty.size()),
                                              serverMarkProperty.data()));
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return {};
    std::string mark = readServerMark(atom->atom);
    if (create && mark.size() < serverMarkLength) {
        // The server appends atomically: two runs making a mark at once both read the first one.
        const std::string fresh = randomMark();
        xcb_change_property(c, XCB_PROP_MODE_APPEND, root_, atom->atom, XCB_ATOM_STRING, 8,
                            static_cast<std::uint32_t>(fresh.size()), fresh.data());
        mark = readServerMark(atom->atom);
    }
    takeQueuedEvents();
    return connectionAlive() ? mark : std::string();
}

std::string RandrCrtcs::readServerMark(xcb_atom_t property)
{
    xcb_connection_t* c = connection_.get();
    const auto reply = waitFor(xcb_get_property_reply, c,
                               xcb_get_property(c, 0, root_, property, XCB_ATOM_STRING, 0, serverMarkLength / 4));
    if (!reply || reply->format != 8 || reply->type != XCB_ATOM_STRING)
        return {};
    const auto* value = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return std::string(value, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

void RandrCrtcs::readEvents()
{
    while (const XcbPointer<xcb_generic_event_t> event{xcb_poll_for_event(connection_.get())}) {
        if (isLayoutChange(*event))
            announceChange();
    }
    connectionAlive();
}

// Waiting for a reply reads whatever events came before it into XCB's queue, where the
// socket notifier cannot see them; pick them up after every request.
void RandrCrtcs::takeQueuedEvents()
{
    while (const XcbPointer<xcb_generic_event_t> event{xcb_poll_for_queued_event(connection_.get())}) {
        if (isLayoutChange(*event))
            announceChange();
    }
}

bool RandrCrtcs::isLayoutChange(const xcb_generic_event_t& event) const
{
    const int type = event.response_type & ~0x80;  // the top bit only says SendEvent
    return type == randrFirstEvent_ + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == randrFirstEvent_ + XCB_RANDR_NOTIFY;
}

// One call per event-loop pass, however many events a reconfiguration sends.
void RandrCrtcs::announceChange()
{
    knownCrtcs_.reset();
    if (changeAnnounced_ || !notifier_)
        return;
    changeAnnounced_ = true;
    QMetaObject::invokeMethod(
        notifier_.get(),
        [this] {
            changeAnnounced_ = false;
            // A copy, so a callback that destroys this object does not destroy the running function.
            if (const auto callback = onCrtcsChanged)
                callback();
        },
        Qt::QueuedConnection);
}

bool RandrCrtcs::serverAnswers()
{
    waitFor(xcb_get_input_focus_reply, connection_.get(), xcb_get_input_focus(connection_.get()));
    return xcb_connection_has_error(connection_.get()) == 0;
}

bool RandrCrtcs::connectionAlive()
{
    if (!xcb_connection_has_error(connection_.get()))
        return true;
    if (!lossAnnounced_ && notifier_) {
        lossAnnounced_ = true;
        // A closed socket stays readable forever; watching it on would spin the event loop.
        notifier_->setEnabled(false);
        QMetaObject::invokeMethod(
            notifier_.get(),
            [this] {
                if (const auto callback = onConnectionLost)
                    callback();
            },
            Qt::QueuedConnection);
    }
    return false;
}

}  // namespace lunaveil
