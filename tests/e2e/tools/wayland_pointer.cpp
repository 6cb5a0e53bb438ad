// wayland-pointer: a virtual pointer of a wlroots compositor's (zwlr_virtual_pointer_v1) that
// clicks where it is told, as a person's click would come. Connects to $WAYLAND_DISPLAY and reads
// lines "X Y WIDTH HEIGHT" from stdin: a left click at (X, Y) of a WIDTH x HEIGHT output layout,
// each answered "clicked" once the compositor has taken it. The pointer lives as long as the
// program: a pointer that comes and goes with every click takes XWayland down with it under sway 1.7.

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

namespace {

constexpr std::uint32_t leftButton = 0x110;  // BTN_LEFT

void announce(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t)
{
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        *static_cast<zwlr_virtual_pointer_manager_v1**>(data) = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void withdraw(void*, wl_registry*, std::uint32_t) {}

constexpr wl_registry_listener registryListener{announce, withdraw};

}  // namespace

int main()
{
    const std::unique_ptr<wl_display, decltype(&wl_display_disconnect)> display(wl_display_connect(nullptr),
                                                                              &wl_display_disconnect);
    if (!display) {
        std::fputs("wayland-pointer: no Wayland compositor at $WAYLAND_DISPLAY\n", stderr);
        return 1;
    }
    zwlr_virtual_pointer_manager_v1* pointers = nullptr;
    wl_registry_add_listener(wl_display_get_registry(display.get()), &registryListener, &pointers);
    wl_display_roundtrip(display.get());
    if (pointers == nullptr) {
        std::fputs("wayland-pointer: the compositor offers no zwlr_virtual_pointer_manager_v1\n", stderr);
        return 1;
    }
    // On the compositor's own seat.
    zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, nullptr);
    // The seat gains its pointer first; a click in the same breath would find no surface under it.
    wl_display_roundtrip(display.get());
    std::uint32_t time = 1;
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::uint32_t x = 0, y = 0, width = 0, height = 0;
        words >> x >> y >> width >> height;
        // The pointer enters the surface, and XWayland passes that on to its window, before it presses.
        for (const std::uint32_t step : {x == 0 ? 1u : x - 1, x}) {
            zwlr_virtual_pointer_v1_motion_absolute(pointer, time++, step, y, width, height);
            zwlr_virtual_pointer_v1_frame(pointer);
            wl_display_roundtrip(display.get());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        for (const auto state : {WL_POINTER_BUTTON_STATE_PRESSED, WL_POINTER_BUTTON_STATE_RELEASED}) {
            zwlr_virtual_pointer_v1_button(pointer, time++, leftButton, state);
            zwlr_virtual_pointer_v1_frame(pointer);
        }
        // The round trip returns once the compositor has handled every request before it.
        if (wl_display_roundtrip(display.get()) < 0) {
            std::fputs("wayland-pointer: the compositor closed the connection\n", stderr);
            return 1;
        }
        std::cout << "clicked" << std::endl;
    }
    // The compositor drops the pointer with the connection.
    return 0;
}
