// How long a program takes from its start until its icon sits embedded in the XEmbed tray of $DISPLAY,
// seen from outside: the X server reports the icon window reparented into the tray and then viewable.
//
// Usage: tray_embed_time RESULT_FILE PROGRAM [ARGUMENT...]
//   Starts PROGRAM and writes "PID MILLISECONDS ICON_WINDOW" to RESULT_FILE once the icon is embedded,
//   or "PID timeout" after 30 s. It then waits for PROGRAM to end (the caller ends it by PID) and exits
//   with its status. It starts PROGRAM only once a tray owns the _NET_SYSTEM_TRAY_S<screen> selection;
//   the tray's windows are those present at that moment.

#include "XcbHandles.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace lunaveil::bench;

constexpr auto giveUpAfter = std::chrono::seconds(30);
constexpr auto trayWaitPeriod = std::chrono::milliseconds(10);
// The tray may map the icon a moment after reparenting it, possibly without an event reaching us.
constexpr int viewableRecheckMs = 2;

struct Embedding {
    double milliseconds;
    xcb_window_t icon;
};

class TrayWatch {
public:
    TrayWatch(xcb_connection_t* connection, xcb_window_t root) : connection_(connection), root_(root)
    {
        // Reparenting away from the root is reported to the root's SubstructureNotify listeners.
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        if (const auto tree = reply(xcb_query_tree_reply, connection_, xcb_query_tree(connection_, root_))) {
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            traysTopLevels_.insert(children, children + xcb_query_tree_children_length(tree.get()));
        }
    }

    std::optional<Embedding> wait(Clock::time_point start, pid_t program)
    {
        const int fd = xcb_get_file_descriptor(connection_);
        while (Clock::now() - start < giveUpAfter) {
            // Left unreaped: main() collects the exit status.
            siginfo_t ended{};
            if (waitid(P_PID, static_cast<id_t>(program), &ended, WEXITED | WNOHANG | WNOWAIT) == 0
                && ended.si_pid == program)
                return std::nullopt;
            while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)})
                take(*event);
            if (xcb_connection_has_error(connection_))
                return std::nullopt;
            if (icon_ && isViewable(icon_))
                return Embedding{millisecondsBetween(start, Clock::now()), icon_};
            pollfd ready{fd, POLLIN, 0};
            poll(&ready, 1, icon_ ? viewableRecheckMs : 50);
        }
        return std::nullopt;
    }

private:
    void take(const xcb_generic_event_t& event)
    {
        if ((event.response_type & 0x7f) != XCB_REPARENT_NOTIFY || icon_)
            return;
        const auto& reparent = reinterpret_cast<const xcb_reparent_notify_event_t&>(event);
        if (reparent.parent == root_ || !traysTopLevels_.contains(topLevelOf(reparent.parent)))
            return;
        icon_ = reparent.window;
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, icon_, XCB_CW_EVENT_MASK, &mask);
    }

    xcb_window_t topLevelOf(xcb_window_t window) const
    {
        while (window != XCB_WINDOW_NONE) {
            const auto tree = reply(xcb_query_tree_reply, connection_, xcb_query_tree(connection_, window));
            if (!tree)
                return XCB_WINDOW_NONE;
            if (tree->parent == root_)
                return window;
            window = tree->parent;
        }
        return XCB_WINDOW_NONE;
    }

    bool isViewable(xcb_window_t window) const
    {
        const auto attributes = reply(xcb_get_window_attributes_reply, connection_,
                                      xcb_get_window_attributes(connection_, window));
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_;
    std::unordered_set<xcb_window_t> traysTopLevels_;
    xcb_window_t icon_ = XCB_WINDOW_NONE;
};

// A tray shows its panel a moment before it takes the selection; a program started in between finds no tray.
bool waitForTray(xcb_connection_t* connection, int screen)
{
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    const auto atom = reply(xcb_intern_atom_reply, connection,
                            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str()));
    if (!atom)
        return false;
    for (const Clock::time_point start = Clock::now(); Clock::now() - start < giveUpAfter;) {
        const auto owner = reply(xcb_get_selection_owner_reply, connection,
                                 xcb_get_selection_owner(connection, atom->atom));
        if (owner && owner->owner != XCB_WINDOW_NONE)
            return true;
        std::this_thread::sleep_for(trayWaitPeriod);
    }
    return false;
}

void writeResult(const std::filesystem::path& file, const std::string& line)
{
    // Whole or not at all: the caller polls for the file.
    const std::filesystem::path partial = file.string() + ".partial";
    std::ofstream(partial) << line << '\n';
    std::filesystem::rename(partial, file);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fputs("usage: tray_embed_time RESULT_FILE PROGRAM [ARGUMENT...]\n", stderr);
        return 2;
    }
    int screen = 0;
    Connection connection(xcb_connect(nullptr, &screen));
    if (xcb_connection_has_error(connection.get())) {
        std::fputs("tray_embed_time: cannot reach the X display in $DISPLAY\n", stderr);
        return 1;
    }
    // The program must not inherit this connection.
    fcntl(xcb_get_file_descriptor(connection.get()), F_SETFD, FD_CLOEXEC);
    if (!waitForTray(connection.get(), screen)) {
        std::fputs("tray_embed_time: no system tray runs on $DISPLAY\n", stderr);
        return 1;
    }
    xcb_screen_iterator_t roots = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screen; ++i)
        xcb_screen_next(&roots);
    const xcb_window_t root = roots.data->root;
    // Watching starts before the program does, so no embedding can be missed.
    TrayWatch watch(connection.get(), root);
    xcb_flush(connection.get());

    const Clock::time_point start = Clock::now();
    const pid_t program = fork();
    if (program < 0) {
        std::perror("tray_embed_time: fork");
        return 1;
    }
    if (program == 0) {
        execvp(argv[2], argv + 2);
        std::perror("tray_embed_time: exec");
        _exit(127);
    }

    const std::optional<Embedding> embedding = watch.wait(start, program);
    connection.reset();
    char line[96];
    if (embedding)
        std::snprintf(line, sizeof line, "%d %.1f %u", program, embedding->milliseconds, embedding->icon);
    else
        std::snprintf(line, sizeof line, "%d timeout", program);
    writeResult(argv[1], line);

    int status = 0;
    while (waitpid(program, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
