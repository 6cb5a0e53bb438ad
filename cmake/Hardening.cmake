# Hardened binaries in every build, as distributions ship them: position-independent executables,
# full RELRO with immediate binding, a stack protector and fortified libc calls. Flags a packager
# passes (dpkg-buildflags, say) come first and win where they choose differently.
if(NOT LUNAVEIL_HARDENING)
    return()
endif()

include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

string(TOUPPER "${CMAKE_BUILD_TYPE}" build_type)
set(compile_flags "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${build_type}}")

if(NOT compile_flags MATCHES "-f(no-)?stack-protector")
    add_compile_options(-fstack-protector-strong)
endif()
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-fstack-clash-protection LUNAVEIL_HAS_STACK_CLASH_PROTECTION)
if(LUNAVEIL_HAS_STACK_CLASH_PROTECTION AND NOT compile_flags MATCHES "stack-clash-protection")
    add_compile_options(-fstack-clash-protection)
endif()
# Fortification needs the optimiser and stays out of the sanitised builds, whose checks it would hide.
if(compile_flags MATCHES "(^| )-O[1-3sz]" AND NOT compile_flags MATCHES "_FORTIFY_SOURCE"
        AND NOT LUNAVEIL_SANITIZE AND NOT LUNAVEIL_FUZZ)
    add_compile_definitions(_FORTIFY_SOURCE=2)
endif()
add_link_options(LINKER:-z,relro LINKER:-z,now)
