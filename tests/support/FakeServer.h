#pragma once
// The tests' own stand-ins for display servers that cannot run here with what a test needs
// (tools/): each says what it was given on its standard output, one line each. Stopped when
// destroyed.

#include "platform/DisplayGamma.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>

namespace lunaveil::test {

class FakeServer {
public:
    // Starts `program` and waits until it says "ready" (a Wayland server with its socket's path).
    // With `runtimeFolder`, the server gets an XDG_RUNTIME_DIR of its own (for a Wayland socket).
    FakeServer(const QString& program, const QStringList& arguments, QProcessEnvironment environment,
               bool runtimeFolder = false);
    virtual ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    bool running() const { return server_.state() == QProcess::Running && ready_; }
    // A Wayland server's socket as an absolute path, which WAYLAND_DISPLAY may name.
    const QString& socket() const { return socket_; }
    // Waits until the server has said `text`.
    bool saw(const std::string& text);
    // How often it has said `text`, counted in what it said until now.
    int occurrences(const std::string& text);
    const std::string& said() const { return said_; }
    // The server goes away, as one that crashed.
    void kill();

    // How the servers report table `ramp` given to `display`.
    static std::string tableLine(const std::string& display, const GammaRamp& ramp);

private:
    std::unique_ptr<QTemporaryDir> runtime_;
    QProcess server_;
    std::string said_;
    bool ready_ = false;
    QString socket_;
};

// A Wayland server whose outputs take gamma tables (tools/fake_gamma_compositor), for a wlroots
// compositor's gamma control, which headless sway's outputs do not offer. Outputs as "NAME:SIZE";
// a size of 0 refuses every gamma control.
class FakeGammaCompositor final : public FakeServer {
public:
    explicit FakeGammaCompositor(const QStringList& outputs);
};

// Mutter's org.gnome.Mutter.DisplayConfig (tools/fake_display_config) on the session bus at
// `busAddress`, for gamma on GNOME, whose headless monitor has no CRTC.
class FakeDisplayConfig final : public FakeServer {
public:
    FakeDisplayConfig(const QStringList& crtcs, const QString& busAddress);
};

}  // namespace lunaveil::test
