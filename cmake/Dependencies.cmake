# What Lunaveil builds against. A missing piece stops the configure with one line naming the
# Debian packages that provide it, instead of CMake's page of search paths.

function(lunaveil_require found what packages)
    if(NOT ${found})
        message(FATAL_ERROR "${what} not found; on Debian, install ${packages} (scripts/setup installs everything).")
    endif()
endfunction()

find_package(Qt6 6.4 QUIET COMPONENTS Core Gui Widgets DBus Svg)
lunaveil_require(Qt6_FOUND "Qt 6.4 or newer (Core, Gui, Widgets, DBus, Svg)" "qt6-base-dev qt6-svg-dev")
# lupdate and lrelease, for the translations compiled into the program.
find_package(Qt6LinguistTools 6.4 QUIET)
lunaveil_require(Qt6LinguistTools_FOUND "Qt's translation tools (Qt6LinguistTools)" "qt6-tools-dev qt6-l10n-tools")

find_package(PkgConfig QUIET)
if(NOT COMMAND pkg_check_modules)
    set(PKG_CONFIG_FOUND FALSE)
endif()
lunaveil_require(PKG_CONFIG_FOUND "pkg-config" "pkg-config")

pkg_check_modules(XCB QUIET IMPORTED_TARGET xcb xcb-randr)
lunaveil_require(XCB_FOUND "XCB with RandR (xcb, xcb-randr)" "libxcb-randr0-dev")
pkg_check_modules(XCB_XFIXES QUIET IMPORTED_TARGET xcb-xfixes)
lunaveil_require(XCB_XFIXES_FOUND "XCB XFixes (xcb-xfixes)" "libxcb-xfixes0-dev")

# Lunaveil's own Wayland connection, and the code for the protocols it speaks.
pkg_check_modules(WAYLAND_CLIENT QUIET IMPORTED_TARGET wayland-client)
lunaveil_require(WAYLAND_CLIENT_FOUND "libwayland-client (wayland-client)" "libwayland-dev")
find_program(WAYLAND_SCANNER wayland-scanner)
lunaveil_require(WAYLAND_SCANNER "wayland-scanner" "libwayland-bin")
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
if(WAYLAND_PROTOCOLS_DIR AND EXISTS ${WAYLAND_PROTOCOLS_DIR}/stable/viewporter/viewporter.xml)
    set(WAYLAND_PROTOCOLS_FOUND TRUE)
endif()
lunaveil_require(WAYLAND_PROTOCOLS_FOUND "wayland-protocols" "wayland-protocols")

# Generates the client header (the server's with SERVER) and glue of `xml` into the build tree
# as part of `target`.
function(lunaveil_wayland_protocol target xml)
    cmake_parse_arguments(PARSE_ARGV 2 protocol "SERVER" "" "")
    set(side client)
    if(protocol_SERVER)
        set(side server)
    endif()
    get_filename_component(name ${xml} NAME_WE)
    set(header ${CMAKE_CURRENT_BINARY_DIR}/${name}-${side}-protocol.h)
    set(code ${CMAKE_CURRENT_BINARY_DIR}/${name}-${side}-protocol.c)
    add_custom_command(OUTPUT ${header} ${code}
        COMMAND ${WAYLAND_SCANNER} ${side}-header ${xml} ${header}
        COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${code}
        DEPENDS ${xml} VERBATIM)
    target_sources(${target} PRIVATE ${header} ${code})
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

if(BUILD_TESTING)
    set(without_tests "or configure with -DBUILD_TESTING=OFF")
    find_package(GTest QUIET)
    lunaveil_require(GTest_FOUND "GoogleTest, for the tests," "libgtest-dev libgmock-dev (${without_tests})")
    find_package(Qt6 6.4 QUIET COMPONENTS Test)
    lunaveil_require(Qt6Test_FOUND "Qt Test, for the tests," "qt6-base-dev (${without_tests})")
    # The widget tests change the offscreen platform's screens through Qt's private interface.
    find_file(LUNAVEIL_QT_PRIVATE_HEADER qpa/qplatformscreen.h PATHS ${Qt6Gui_PRIVATE_INCLUDE_DIRS} NO_DEFAULT_PATH)
    lunaveil_require(LUNAVEIL_QT_PRIVATE_HEADER "Qt's private Gui headers, for the tests,"
        "qt6-base-private-dev (${without_tests})")
    # The tests' own compositor with gamma tables.
    pkg_check_modules(WAYLAND_SERVER QUIET IMPORTED_TARGET wayland-server)
    lunaveil_require(WAYLAND_SERVER_FOUND "libwayland-server, for the tests," "libwayland-dev (${without_tests})")
endif()
