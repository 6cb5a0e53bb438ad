// fake-gamma-compositor NAME:SIZE...: a Wayland server that stands in for a wlroots compositor's
// gamma control, for outputs whose headless counterparts have no gamma table. It advertises one
// wl_output (version 4, with its name) per argument and zwlr_gamma_control_manager_v1; an output
// of SIZE 0 refuses every control. It prints, one line each, flushed:
//   ready PATH                      once it accepts clients on the socket at PATH
//   set NAME R0 RN G0 GN B0 BN      each table given: first and last entry of each channel
//   restore NAME                    when a valid control ends (destroyed, or its client died)

#include "wlr-gamma-control-unstable-v1-server-protocol.h"

#include <wayland-server.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Output {
    std::string name;
    std::uint32_t size;
};

void say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Every request that ends an object: wl_output's release, and the controls' and manager's destroy.
void destroy(wl_client*, wl_resource* resource)
{
    wl_resource_destroy(resource);
}
const struct wl_output_interface outputImplementation{destroy};

void bindOutput(wl_client* client, void* data, std::uint32_t version, std::uint32_t id)
{
    auto& output = *static_cast<Output*>(data);
    wl_resource* resource = wl_resource_create(client, &wl_output_interface, static_cast<int>(version), id);
    wl_resource_set_implementation(resource, &outputImplementation, &output, nullptr);
    // Lunaveil takes an output by its name alone.
    if (version >= WL_OUTPUT_NAME_SINCE_VERSION)
        wl_output_send_name(resource, output.name.c_str());
    if (version >= WL_OUTPUT_DONE_SINCE_VERSION)
        wl_output_send_done(resource);
}

void setGamma(wl_client*, wl_resource* resource, std::int32_t fd)
{
    const auto* output = static_cast<const Output*>(wl_resource_get_user_data(resource));
    const std::size_t size = output != nullptr ? output->size : 0;
    std::vector<std::uint16_t> table(3 * size);
    const ssize_t read = ::pread(fd, table.data(), table.size() * sizeof(std::uint16_t), 0);
    ::close(fd);
    if (size == 0 || read != static_cast<ssize_t>(table.size() * sizeof(std::uint16_t))) {
        wl_resource_post_error(resource, ZWLR_GAMMA_CONTROL_V1_ERROR_INVALID_GAMMA, "no control, or a table of the wrong size");
        return;
    }
    std::string line = "set " + output->name;
    for (std::size_t channel = 0; channel < 3; ++channel)
        line += " " + std::to_string(table[channel * size]) + " " + std::to_string(table[channel * size + size - 1]);
    say(line);
}

const struct zwlr_gamma_control_v1_interface controlImplementation{setGamma, destroy};

// Runs on the destroy request and when the client dies alike, as a compositor's restore does.
void controlGone(wl_resource* resource)
{
    say("restore " + static_cast<const Output*>(wl_resource_get_user_data(resource))->name);
}

void getGammaControl(wl_client* client, wl_resource* manager, std::uint32_t id, wl_resource* outputResource)
{
    auto* output = static_cast<Output*>(wl_resource_get_user_data(outputResource));
    wl_resource* resource =
        wl_resource_create(client, &zwlr_gamma_control_v1_interface, wl_resource_get_version(manager), id);
    if (output->size == 0) {
        wl_resource_set_implementation(resource, &controlImplementation, nullptr, nullptr);
        zwlr_gamma_control_v1_send_failed(resource);
        return;
    }
    wl_resource_set_implementation(resource, &controlImplementation, output, controlGone);
    zwlr_gamma_control_v1_send_gamma_size(resource, output->size);
}

const struct zwlr_gamma_control_manager_v1_interface managerImplementation{getGammaControl, destroy};

void bindManager(wl_client* client, void*, std::uint32_t version, std::uint32_t id)
{
    wl_resource* resource =
        wl_resource_create(client, &zwlr_gamma_control_manager_v1_interface, static_cast<int>(version), id);
    wl_resource_set_implementation(resource, &managerImplementation, nullptr, nullptr);
}

}  // namespace

int main(int argc, char* argv[])
{
    std::list<Output> outputs;  // a list: each output's address is its resources' data
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const std::size_t colon = argument.find(':');  // without one, stoul throws on the name
        outputs.push_back({argument.substr(0, colon), static_cast<std::uint32_t>(std::stoul(argument.substr(colon + 1)))});
    }
    wl_display* display = wl_display_create();
    const char* socket = wl_display_add_socket_auto(display);
    if (socket == nullptr) {
        std::fputs("fake-gamma-compositor: cannot make a socket (is XDG_RUNTIME_DIR set?)\n", stderr);
        return 1;
    }
    for (Output& output : outputs)
        wl_global_create(display, &wl_output_interface, 4, &output, bindOutput);
    wl_global_create(display, &zwlr_gamma_control_manager_v1_interface, 1, nullptr, bindManager);
    say(std::string("ready ") + std::getenv("XDG_RUNTIME_DIR") + "/" + socket);
    wl_display_run(display);
    wl_display_destroy(display);
    return 0;
}
