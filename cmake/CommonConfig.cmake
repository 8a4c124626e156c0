# Compile settings shared by every target of the console. Targets link
# vo_compile_options instead of repeating flags.
add_library(vo_compile_options INTERFACE)

target_compile_options(vo_compile_options INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(vo_compile_options INTERFACE
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_KEYWORDS
    VO_VERSION_STRING="${PROJECT_VERSION}"
    VO_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    VO_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    VO_VERSION_PATCH=${PROJECT_VERSION_PATCH})

if(VO_WERROR)
    target_compile_options(vo_compile_options INTERFACE -Werror)
endif()

if(VO_SANITIZE)
    set(_vo_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_compile_options(vo_compile_options INTERFACE ${_vo_san})
    target_link_options(vo_compile_options INTERFACE ${_vo_san})
endif()

# clang's UBSan finds one case inside a library header; gcc's does not look there.
if((VO_SANITIZE OR VO_FUZZ) AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    target_compile_options(vo_compile_options INTERFACE -fsanitize-ignorelist=${PROJECT_SOURCE_DIR}/cmake/ubsan-ignorelist.txt)
endif()

# Coverage for libFuzzer in every library; the fuzz programs add the fuzzer's
# own main (fuzz/CMakeLists.txt).
if(VO_FUZZ)
    set(_vo_fuzz -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_compile_options(vo_compile_options INTERFACE ${_vo_fuzz})
    target_link_options(vo_compile_options INTERFACE ${_vo_fuzz})
endif()

# The product's code builds with these as well; tests keep the flags above,
# since Qt Test's macros trip some of them.
add_library(vo_strict_warnings INTERFACE)
target_compile_options(vo_strict_warnings INTERFACE
    -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough -Wduplicated-cond
    -Wduplicated-branches -Wlogical-op -Wconversion)

# vo_add_library(<name> SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# One library per subsystem folder. Headers are included by their folder,
# "common/modFormat.h", so the include root is src/ for every library.
function(vo_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE vo_compile_options vo_strict_warnings ${ARG_PRIVATE_LIBS})
endfunction()
