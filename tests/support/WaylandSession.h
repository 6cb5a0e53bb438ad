#pragma once
// A real Wayland session of the test's own (sway, KWin or Mutter headless, with XWayland),
// stopped when destroyed.

#include <QProcess>
#include <QProcessEnvironment>
#include <QImage>
#include <QRect>
#include <QString>

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace lunaveil::test {

class WaylandSession {
public:
    enum class Compositor { Sway, KWin, Mutter };

    // Starts `compositor` with `outputs` 800x600 outputs side by side (one for KWin and Mutter),
    // through scripts/virtual-desktop. Check running(); failure() says why it is not. Should this
    // process die first, the session ends by itself.
    explicit WaylandSession(int outputs = 1, Compositor compositor = Compositor::Sway);
    ~WaylandSession();
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    bool running() const { return !socket_.isEmpty() && failure_.empty(); }
    const std::string& failure() const { return failure_; }
    const QString& xDisplay() const { return xDisplay_; }
    // The unprivileged user sway runs as, which a program in the session runs as too.
    uid_t uid() const { return uid_; }
    gid_t gid() const { return gid_; }
    // The session bus, on which swaybar hosts the tray.
    const QString& sessionBus() const { return sessionBus_; }
    // What a client of the session sees: WAYLAND_DISPLAY (the socket's absolute path), DISPLAY,
    // XDG_CURRENT_DESKTOP, SWAYSOCK and the session bus.
    QProcessEnvironment environment() const;

    struct Output {
        QString name;
        QRect rect;
    };
    // sway's alone: its outputs;
    std::vector<Output> outputs() const;
    // runs the sway command `command` (criteria and all, as one string); false when sway refused;
    bool swaymsg(const QString& command) const;
    // the whole output layout as grim captures it, null where it cannot;
    QImage screenshot() const;
    // its composited colour at `point`. (A capture of one output by name can come back stale on
    // sway's headless outputs; the whole layout does not.)
    std::optional<QRgb> pixel(QPoint point) const;
    // a left click at (x, y) of the output layout, through wlroots' virtual pointer.
    bool click(int x, int y) const;

private:
    QByteArray run(const QString& program, const QStringList& arguments, bool* ok = nullptr) const;

    Compositor compositor_;
    mutable QProcess pointer_;  // sway's one virtual pointer
    QString socket_;
    QString xDisplay_;
    QString swaysock_;
    QString sessionBus_;
    QString state_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    std::string failure_;
};

}  // namespace lunaveil::test
