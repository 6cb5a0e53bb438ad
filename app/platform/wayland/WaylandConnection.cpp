#include "platform/wayland/WaylandConnection.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <wayland-client.h>

namespace lunaveil {
namespace {

constexpr std::uint32_t outputVersion = 4;  // the first that tells the output's name

void outputName(void* data, wl_output*, const char* name)
{
    static_cast<WaylandConnection::Output*>(data)->name = name;
}
void ignoreGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                    const char*, const char*, std::int32_t)
{
}
void ignoreMode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}
void ignoreDone(void*, wl_output*) {}
void ignoreScale(void*, wl_output*, std::int32_t) {}
void ignoreDescription(void*, wl_output*, const char*) {}

constexpr wl_output_listener outputListener{ignoreGeometry, ignoreMode, ignoreDone, ignoreScale, outputName,
                                            ignoreDescription};

}  // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::connect()
{
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr)
        return nullptr;
    auto connection = std::make_unique<WaylandConnection>(Passkey{}, display);
    // The globals, then the outputs' names.
    if (!connection->roundtrip() || !connection->roundtrip())
        return nullptr;
    return connection;
}

WaylandConnection::WaylandConnection(Passkey, wl_display* display) : display_(display)
{
    static constexpr wl_registry_listener registryListener{&WaylandConnection::announce,
                                                           &WaylandConnection::withdraw};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &registryListener, this);
    if (QCoreApplication::instance() == nullptr)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { readEvents(); });
    // Requests made while handling an event or a timer leave before the loop sleeps.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, notifier_.get(), [this] { flush(); });
}

WaylandConnection::~WaylandConnection()
{
    notifier_.reset();
    for (const Output& output : outputs_)
        wl_output_release(output.output);
    wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

void WaylandConnection::announce(void* data, wl_registry*, std::uint32_t name, const char* interface,
                                 std::uint32_t version)
{
    auto& self = *static_cast<WaylandConnection*>(data);
    const Global& global = self.globals_.emplace_back(Global{name, interface, version});
    if (global.interface == wl_output_interface.name)
        self.bindOutput(global);
}

void WaylandConnection::withdraw(void* data, wl_registry*, std::uint32_t name)
{
    auto& self = *static_cast<WaylandConnection*>(data);
    std::erase_if(self.globals_, [name](const Global& global) { return global.name == name; });
    const auto gone = std::ranges::find(self.outputs_, name, &Output::global);
    if (gone == self.outputs_.end())
        return;
    wl_output_release(gone->output);
    self.outputs_.erase(gone);
    if (const auto callback = self.onOutputsChanged)
        callback();
}

void WaylandConnection::bindOutput(const Global& global)
{
    // wl_output 3 brought release; older compositors are not worth a second code path.
    if (global.version < 3)
        return;
    auto* output = static_cast<wl_output*>(
        wl_registry_bind(registry_, global.name, &wl_output_interface, std::min(global.version, outputVersion)));
    Output& added = outputs_.emplace_back(Output{global.name, output, {}});
    wl_output_add_listener(output, &outputListener, &added);  // a list: the address stays
    if (const auto callback = onOutputsChanged)
        callback();
}

bool WaylandConnection::offers(std::string_view interface) const
{
    return std::ranges::any_of(globals_, [interface](const Global& global) { return global.interface == interface; });
}

void* WaylandConnection::bind(const wl_interface& interface, std::uint32_t version)
{
    const auto global = std::ranges::find(globals_, std::string_view(interface.name), &Global::interface);
    if (global == globals_.end())
        return nullptr;
    return wl_registry_bind(registry_, global->name, &interface, std::min(global->version, version));
}

bool WaylandConnection::roundtrip()
{
    if (wl_display_roundtrip(display_) >= 0)
        return true;
    lost();
    return false;
}

void WaylandConnection::readEvents()
{
    // Another reader may have queued events already; they are dispatched before reading more.
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0)
            return lost();
    }
    if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0)
        return lost();
}

void WaylandConnection::flush()
{
    if (!lossAnnounced_ && wl_display_flush(display_) < 0 && errno != EAGAIN)
        lost();
}

void WaylandConnection::lost()
{
    if (lossAnnounced_)
        return;
    lossAnnounced_ = true;
    // A closed socket stays readable forever; watching it on would spin the event loop.
    if (notifier_)
        notifier_->setEnabled(false);
    qWarning("Lunaveil: the Wayland compositor closed the connection: %s", std::strerror(wl_display_get_error(display_)));
    if (notifier_) {
        QMetaObject::invokeMethod(
            notifier_.get(),
            [this] {
                if (const auto callback = onConnectionLost)
                    callback();
            },
            Qt::QueuedConnection);
    }
}

}  // namespace lunaveil
