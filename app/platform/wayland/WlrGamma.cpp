#include "platform/wayland/WlrGamma.h"

#include "platform/UniqueFd.h"
#include "wlr-gamma-control-unstable-v1-client-protocol.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace lunaveil {
namespace {

// The table as the protocol wants it: red, green and blue ramps one after another, in a sealed
// memory file the compositor maps.
UniqueFd tableFile(const GammaRamp& ramp)
{
    UniqueFd file(::memfd_create("lunaveil-gamma", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!file)
        return {};
    const std::size_t channelBytes = ramp.size() * sizeof(std::uint16_t);
    for (const auto* channel : {&ramp.red, &ramp.green, &ramp.blue}) {
        const char* bytes = reinterpret_cast<const char*>(channel->data());
        for (std::size_t written = 0; written < channelBytes;) {
            const ssize_t count = ::write(file.get(), bytes + written, channelBytes - written);
            if (count <= 0)
                return {};
            written += static_cast<std::size_t>(count);
        }
    }
    ::fcntl(file.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
    return file;
}

}  // namespace

std::unique_ptr<WlrGamma> WlrGamma::create(WaylandConnection& connection)
{
    auto* manager = static_cast<zwlr_gamma_control_manager_v1*>(
        connection.bind(zwlr_gamma_control_manager_v1_interface, 1));
    return manager != nullptr ? std::make_unique<WlrGamma>(connection, manager) : nullptr;
}

bool WlrGamma::anyOutputAccepts(WaylandConnection& connection)
{
    const std::unique_ptr<WlrGamma> probe = create(connection);
    if (!probe)
        return false;
    probe->reportRefusals_ = false;
    const bool accepts = !probe->outputs().empty();
    probe->restore();
    return accepts;
}

WlrGamma::WlrGamma(WaylandConnection& connection, zwlr_gamma_control_manager_v1* manager)
    : connection_(connection), manager_(manager)
{
}

WlrGamma::~WlrGamma()
{
    for (auto& [display, control] : controls_)
        zwlr_gamma_control_v1_destroy(control.control);
    zwlr_gamma_control_manager_v1_destroy(manager_);
    wl_display_flush(connection_.display());
}

void WlrGamma::gammaSize(void* data, zwlr_gamma_control_v1*, std::uint32_t size)
{
    static_cast<Control*>(data)->size = size;
}

void WlrGamma::failed(void* data, zwlr_gamma_control_v1*)
{
    auto& control = *static_cast<Control*>(data);
    control.failed = true;
    control.set.reset();
    // Another program took the output, or the table could not be set: the transfer looks again,
    // after this event's dispatch.
    QMetaObject::invokeMethod(&control.owner->context_, [owner = control.owner] { owner->announce(); },
                              Qt::QueuedConnection);
}

std::vector<GammaOutput> WlrGamma::outputs()
{
    static constexpr zwlr_gamma_control_v1_listener listener{&WlrGamma::gammaSize, &WlrGamma::failed};
    bool asked = false;
    for (const WaylandConnection::Output& output : connection_.outputs()) {
        if (controls_.contains(output.global) || refused_.contains(output.global))
            continue;
        Control& control = controls_[output.global];
        control.owner = this;
        control.control = zwlr_gamma_control_manager_v1_get_gamma_control(manager_, output.output);
        zwlr_gamma_control_v1_add_listener(control.control, &listener, &control);
        asked = true;
    }
    if (asked)
        connection_.roundtrip();

    std::vector<GammaOutput> result;
    for (const WaylandConnection::Output& output : connection_.outputs()) {
        const auto found = controls_.find(output.global);
        if (found == controls_.end())
            continue;
        Control& control = found->second;
        if (control.failed || control.size == 0) {
            if (reportRefusals_)
                qWarning("Lunaveil: output %s refuses a gamma table (none, or another program holds it); it keeps "
                         "its colours.",
                         output.name.c_str());
            zwlr_gamma_control_v1_destroy(control.control);
            controls_.erase(found);
            refused_.insert(output.global);
            continue;
        }
        result.push_back({output.global, control.size});
    }
    return result;
}

std::vector<std::optional<GammaRamp>> WlrGamma::readRamps(std::span<const DisplayId> displays)
{
    std::vector<std::optional<GammaRamp>> ramps;
    for (const DisplayId display : displays) {
        const auto found = controls_.find(display);
        ramps.push_back(found != controls_.end() && !found->second.failed ? found->second.set : std::nullopt);
    }
    return ramps;
}

bool WlrGamma::setRamp(DisplayId display, const GammaRamp& ramp)
{
    const auto found = controls_.find(display);
    if (found == controls_.end() || found->second.failed || ramp.size() != found->second.size
        || ramp.green.size() != ramp.size() || ramp.blue.size() != ramp.size())
        return false;
    const UniqueFd table = tableFile(ramp);
    if (!table)
        return false;
    zwlr_gamma_control_v1_set_gamma(found->second.control, table.get());
    found->second.set = ramp;
    return true;
}

void WlrGamma::restore()
{
    for (auto& [display, control] : controls_)
        zwlr_gamma_control_v1_destroy(control.control);
    controls_.clear();
    refused_.clear();
    wl_display_flush(connection_.display());
}

void WlrGamma::outputsChanged()
{
    // A control whose output went away goes with it; an output added may take one now.
    std::erase_if(controls_, [this](const auto& entry) {
        const bool gone = std::ranges::none_of(connection_.outputs(), [&](const WaylandConnection::Output& output) {
            return output.global == entry.first;
        });
        if (gone)
            zwlr_gamma_control_v1_destroy(entry.second.control);
        return gone;
    });
    refused_.clear();
    announce();
}

void WlrGamma::announce()
{
    if (const auto callback = onOutputsChanged)
        callback();
}

}  // namespace lunaveil
