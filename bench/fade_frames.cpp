// Counts the frames one fade delivers, as they reach the X server: nothing inside the fading
// program is touched or timed, so the count is what a screen could show.
//
// Usage:
//   fade_frames overlay TITLE WINDOW_MS -- TRIGGER...
//       Runs TRIGGER (say, an xdotool click that switches a tint on), then, for WINDOW_MS after the
//       first window titled TITLE is mapped, counts on every such window the repaints that changed it.
//       A repaint is seen through the Damage extension, as a compositor sees it; each one is followed
//       by a 1x1 GetImage of the window's centre, and only a changed pixel counts as a frame, so a
//       frame drawn in several strips counts once and a repaint of the same colour not at all.
//   fade_frames gamma QUIET_MS -- TRIGGER...
//       Runs TRIGGER, then reads the first CRTC's gamma ramp every 2 ms and counts the changes,
//       until it has stayed the same for QUIET_MS after the first one.
// Prints "FRAMES SPAN_MS WINDOWS": the fewest frames on one window, the time from the first to
// the last change, and how many windows (or CRTCs) were watched.

#include "XcbHandles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/randr.h>

namespace {

using namespace lunaveil::bench;
using namespace std::chrono_literals;

constexpr auto firstMapTimeout = 10s;
constexpr auto gammaPollPeriod = 2ms;
constexpr auto gammaTimeout = 15s;

struct Count {
    int frames = 0;
    int windows = 0;
    double spanMs = 0;
};

bool runTrigger(char* command[])
{
    const pid_t child = fork();
    if (child == 0) {
        execvp(command[0], command);
        std::perror("fade_frames: exec");
        _exit(127);
    }
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class OverlayFrames {
public:
    OverlayFrames(xcb_connection_t* connection, xcb_window_t root, std::string title)
        : connection_(connection), root_(root), title_(std::move(title))
    {
        const auto version = reply(xcb_damage_query_version_reply, connection_,
                                   xcb_damage_query_version(connection_, 1, 1));
        const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection_, &xcb_damage_id);
        if (!version || damage == nullptr || !damage->present)
            return;
        damageNotify_ = static_cast<std::uint8_t>(damage->first_event + XCB_DAMAGE_NOTIFY);
        // Overlays are override-redirect children of the root: their maps are reported here.
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection_);
        usable_ = true;
    }

    ~OverlayFrames()
    {
        for (const auto& [window, watched] : watched_)
            xcb_damage_destroy(connection_, watched.damage);
        xcb_flush(connection_);
    }

    bool usable() const { return usable_; }

    Count count(std::chrono::milliseconds window)
    {
        const Clock::time_point started = Clock::now();
        std::optional<Clock::time_point> end;
        while (Clock::now() < (end ? *end : started + firstMapTimeout)) {
            const auto left = (end ? *end : started + firstMapTimeout) - Clock::now();
            pollfd ready{xcb_get_file_descriptor(connection_), POLLIN, 0};
            poll(&ready, 1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
            while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)})
                take(*event);
            if (xcb_connection_has_error(connection_))
                break;
            if (!end && firstMap_)
                end = *firstMap_ + window;
        }
        Count count;
        count.windows = static_cast<int>(watched_.size());
        if (watched_.empty())
            return count;
        count.frames = std::ranges::min_element(watched_, {}, [](const auto& entry) { return entry.second.frames; })
                           ->second.frames;
        if (firstChange_ && lastChange_)
            count.spanMs = millisecondsBetween(*firstChange_, *lastChange_);
        return count;
    }

private:
    struct Watched {
        xcb_damage_damage_t damage;
        std::int16_t x;
        std::int16_t y;
        std::vector<std::uint8_t> pixel;
        int frames = 0;
    };

    void take(const xcb_generic_event_t& event)
    {
        const std::uint8_t type = event.response_type & 0x7f;
        if (type == XCB_MAP_NOTIFY) {
            const auto& map = reinterpret_cast<const xcb_map_notify_event_t&>(event);
            if (!watched_.contains(map.window) && titleOf(map.window) == title_)
                watch(map.window);
        } else if (type == damageNotify_) {
            const auto& notify = reinterpret_cast<const xcb_damage_notify_event_t&>(event);
            const auto found = watched_.find(notify.drawable);
            if (found == watched_.end())
                return;
            // Emptied first, so a repaint that lands while the pixel is read reports itself again.
            xcb_damage_subtract(connection_, notify.damage, XCB_NONE, XCB_NONE);
            Watched& watched = found->second;
            std::vector<std::uint8_t> pixel = centrePixel(notify.drawable, watched);
            if (!pixel.empty() && pixel != watched.pixel) {
                watched.pixel = std::move(pixel);
                ++watched.frames;
                lastChange_ = Clock::now();
                if (!firstChange_)
                    firstChange_ = lastChange_;
            }
        }
    }

    void watch(xcb_window_t window)
    {
        const auto geometry = reply(xcb_get_geometry_reply, connection_, xcb_get_geometry(connection_, window));
        if (!geometry)
            return;
        if (!firstMap_)
            firstMap_ = Clock::now();
        Watched watched{xcb_generate_id(connection_), static_cast<std::int16_t>(geometry->width / 2),
                        static_cast<std::int16_t>(geometry->height / 2), {}, 0};
        xcb_damage_create(connection_, watched.damage, window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        // What the window shows when watching starts is the reference, not a frame.
        watched.pixel = centrePixel(window, watched);
        watched_.emplace(window, std::move(watched));
    }

    std::vector<std::uint8_t> centrePixel(xcb_window_t window, const Watched& watched) const
    {
        const auto image = reply(xcb_get_image_reply, connection_,
                                 xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, watched.x, watched.y,
                                               1, 1, ~0u));
        if (!image)
            return {};
        const std::uint8_t* data = xcb_get_image_data(image.get());
        return {data, data + xcb_get_image_data_length(image.get())};
    }

    std::string titleOf(xcb_window_t window) const
    {
        const auto property = reply(xcb_get_property_reply, connection_,
                                    xcb_get_property(connection_, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY,
                                                     0, 256));
        if (!property)
            return {};
        return {static_cast<const char*>(xcb_get_property_value(property.get())),
                static_cast<std::size_t>(xcb_get_property_value_length(property.get()))};
    }

    xcb_connection_t* connection_;
    xcb_window_t root_;
    std::string title_;
    bool usable_ = false;
    std::uint8_t damageNotify_ = 0;
    std::map<xcb_window_t, Watched> watched_;
    std::optional<Clock::time_point> firstMap_;
    std::optional<Clock::time_point> firstChange_;
    std::optional<Clock::time_point> lastChange_;
};

std::optional<xcb_randr_crtc_t> firstCrtc(xcb_connection_t* connection, xcb_window_t root)
{
    const auto resources = reply(xcb_randr_get_screen_resources_current_reply, connection,
                                 xcb_randr_get_screen_resources_current(connection, root));
    if (!resources || xcb_randr_get_screen_resources_current_crtcs_length(resources.get()) == 0)
        return std::nullopt;
    return *xcb_randr_get_screen_resources_current_crtcs(resources.get());
}

std::vector<std::uint16_t> rampOf(xcb_connection_t* connection, xcb_randr_crtc_t crtc)
{
    const auto gamma = reply(xcb_randr_get_crtc_gamma_reply, connection, xcb_randr_get_crtc_gamma(connection, crtc));
    if (!gamma)
        return {};
    // Red, green and blue follow one another in the reply.
    const std::uint16_t* red = xcb_randr_get_crtc_gamma_red(gamma.get());
    return {red, red + 3 * static_cast<std::size_t>(gamma->size)};
}

Count countGammaFrames(xcb_connection_t* connection, xcb_randr_crtc_t crtc, std::vector<std::uint16_t> shown,
                       std::chrono::milliseconds quiet)
{
    Count count;
    count.windows = 1;
    const Clock::time_point started = Clock::now();
    std::optional<Clock::time_point> firstChange;
    Clock::time_point lastChange = started;
    while (firstChange ? Clock::now() - lastChange < quiet : Clock::now() - started < gammaTimeout) {
        std::this_thread::sleep_for(gammaPollPeriod);
        std::vector<std::uint16_t> ramp = rampOf(connection, crtc);
        if (ramp.empty() || ramp == shown)
            continue;
        shown = std::move(ramp);
        ++count.frames;
        lastChange = Clock::now();
        if (!firstChange)
            firstChange = lastChange;
    }
    if (firstChange)
        count.spanMs = millisecondsBetween(*firstChange, lastChange);
    return count;
}

int usage()
{
    std::fputs("usage: fade_frames overlay TITLE WINDOW_MS -- TRIGGER...\n"
               "       fade_frames gamma QUIET_MS -- TRIGGER...\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char* argv[])
{
    const std::vector<std::string_view> arguments(argv, argv + argc);
    const auto separator = std::ranges::find(arguments, "--");
    if (separator == arguments.end() || separator + 1 == arguments.end() || arguments.size() < 4)
        return usage();
    char** trigger = argv + (separator - arguments.begin()) + 1;
    const std::string_view mode = arguments[1];

    Connection connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get())) {
        std::fputs("fade_frames: cannot reach the X display in $DISPLAY\n", stderr);
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection.get())).data->root;

    Count count;
    if (mode == "overlay" && separator - arguments.begin() == 4) {
        OverlayFrames frames(connection.get(), root, std::string(arguments[2]));
        if (!frames.usable()) {
            std::fputs("fade_frames: the X server has no Damage extension\n", stderr);
            return 1;
        }
        if (!runTrigger(trigger))
            return 1;
        count = frames.count(std::chrono::milliseconds(std::atoi(argv[3])));
    } else if (mode == "gamma" && separator - arguments.begin() == 3) {
        const std::optional<xcb_randr_crtc_t> crtc = firstCrtc(connection.get(), root);
        if (!crtc) {
            std::fputs("fade_frames: the X server has no CRTC with a gamma ramp\n", stderr);
            return 1;
        }
        std::vector<std::uint16_t> before = rampOf(connection.get(), *crtc);
        if (!runTrigger(trigger))
            return 1;
        count = countGammaFrames(connection.get(), *crtc, std::move(before),
                                 std::chrono::milliseconds(std::atoi(argv[2])));
    } else {
        return usage();
    }
    std::printf("%d %.0f %d\n", count.frames, count.spanMs, count.windows);
    return 0;
}
