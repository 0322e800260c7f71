# The web build (Emscripten): vantrose_core's portable parts with the web backend, linked into
# build/web/ beside the page, libopenmpt compiled from Debian's source and the generator's data.
set(VANTROSE_WEB_SITE ${CMAKE_SOURCE_DIR}/build/web CACHE PATH "The page's folder of static files")

# libopenmpt for WebAssembly, compiled once per machine and kept outside the clone.
execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/libopenmpt-web.sh
    OUTPUT_VARIABLE openmpt_prefix OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE openmpt_failed)
if(openmpt_failed)
    message(FATAL_ERROR "libopenmpt could not be built with Emscripten (see above)")
endif()
add_library(openmpt_web STATIC IMPORTED)
set_target_properties(openmpt_web PROPERTIES
    IMPORTED_LOCATION ${openmpt_prefix}/lib/libopenmpt.a
    INTERFACE_INCLUDE_DIRECTORIES ${openmpt_prefix}/include)

include(platform/native_content.cmake)

file(GLOB CORE_SOURCES CONFIGURE_DEPENDS
    shell/*.cpp capture/*.cpp runtime/*.cpp effects2d/*.cpp engine3d/*.cpp scenes3d/*.cpp resources/*.cpp
    platform/headless/*.cpp platform/posix/*.cpp platform/web/*.cpp)
# The PNG dump has no place in a page (web_platform.cpp stands in); the icon maker is a tool.
list(REMOVE_ITEM CORE_SOURCES ${CMAKE_SOURCE_DIR}/shell/main.cpp ${CMAKE_SOURCE_DIR}/platform/web/main_web.cpp
    ${CMAKE_SOURCE_DIR}/platform/web/web_icons.cpp
    ${CMAKE_SOURCE_DIR}/capture/dump.cpp)
# One build with SIMD128, which every current browser runs (a module with it does not load where
# it is missing); the portable path stays in it for comparison (VANTROSE_CPU=portable).
vantrose_cpu_paths(CORE_SOURCES cpu_wasm.cpp simd128 "-msimd128")
# The frame checksum's vector lanes (--trace, the page's test mode) in SIMD128 as well.
set_source_files_properties(capture/stats.cpp PROPERTIES COMPILE_OPTIONS -msimd128)
add_library(vantrose_core STATIC ${CORE_SOURCES} ${native_resources})
add_dependencies(vantrose_core native_content)
target_include_directories(vantrose_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(vantrose_core PUBLIC VANTROSE_VERSION="${PROJECT_VERSION}")
target_link_libraries(vantrose_core PUBLIC openmpt_web)

add_executable(vantrose platform/web/main_web.cpp)
target_link_libraries(vantrose PRIVATE vantrose_core)
set_target_properties(vantrose PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VANTROSE_WEB_SITE})
# ASYNCIFY lets the show's own frame loops hand the browser its turn inside pump_messages.
# The page starts main itself, once the data is in and a mode is chosen.
set(VANTROSE_ASYNCIFY ON CACHE BOOL "Build the web show with ASYNCIFY")
target_link_options(vantrose PRIVATE
    -sENVIRONMENT=web -sINVOKE_RUN=0 -sEXIT_RUNTIME=1 -sFORCE_FILESYSTEM=1
    -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=33554432
    "-sEXPORTED_RUNTIME_METHODS=[callMain,FS]")
if(VANTROSE_ASYNCIFY)
    target_link_options(vantrose PRIVATE -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536)
    target_compile_definitions(vantrose_core PRIVATE VANTROSE_ASYNCIFY=1)
endif()

# The page and the data beside the program.
set(page_files index.html page.js worklet.js manifest.webmanifest)
set(site_files)
foreach(f ${page_files})
    add_custom_command(OUTPUT ${VANTROSE_WEB_SITE}/${f}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/platform/web/${f}
                ${VANTROSE_WEB_SITE}/${f}
        DEPENDS ${CMAKE_SOURCE_DIR}/platform/web/${f})
    list(APPEND site_files ${VANTROSE_WEB_SITE}/${f})
endforeach()
add_custom_command(OUTPUT ${VANTROSE_WEB_SITE}/vantrose.dat ${VANTROSE_WEB_SITE}/vantrose.s3m
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${native_data} ${VANTROSE_WEB_SITE}/
    DEPENDS ${native_data} native_content)

# The icons, made from the title badge, and the service worker that keeps this build's files.
add_executable(web_icons platform/web/web_icons.cpp)
target_link_libraries(web_icons PRIVATE vantrose_core)
target_link_options(web_icons PRIVATE -sENVIRONMENT=node -sNODERAWFS=1 -sWASM_ASYNC_COMPILATION=0)
set(icons ${VANTROSE_WEB_SITE}/icon-192.png ${VANTROSE_WEB_SITE}/icon-512.png)
add_custom_command(OUTPUT ${icons} COMMAND node $<TARGET_FILE:web_icons> ${VANTROSE_WEB_SITE}
    DEPENDS web_icons)
add_custom_command(OUTPUT ${VANTROSE_WEB_SITE}/sw.js
    COMMAND ${CMAKE_COMMAND} -DSITE=${VANTROSE_WEB_SITE}
            -DTEMPLATE=${CMAKE_SOURCE_DIR}/platform/web/sw.js.in
            -P ${CMAKE_SOURCE_DIR}/platform/web/site_version.cmake
    DEPENDS ${site_files} ${icons} ${VANTROSE_WEB_SITE}/vantrose.dat vantrose
            ${CMAKE_SOURCE_DIR}/platform/web/sw.js.in ${CMAKE_SOURCE_DIR}/platform/web/site_version.cmake)
add_custom_target(web_site ALL DEPENDS ${site_files} ${VANTROSE_WEB_SITE}/vantrose.dat
                  ${VANTROSE_WEB_SITE}/sw.js)

# The processor paths beside memset and memcpy, under node (node build/wasm/cpu_paths_bench.js)
# or in a browser (build/wasm/cpu_paths_bench.html; bench/web_bench.sh runs it in Chromium).
# Two links of one program: node compiles the module synchronously from its file, a page fetches
# it.
add_executable(cpu_paths_bench bench/cpu_paths_bench.cpp)
target_link_libraries(cpu_paths_bench PRIVATE vantrose_core)
target_link_options(cpu_paths_bench PRIVATE -sENVIRONMENT=node -sALLOW_MEMORY_GROWTH=1
    -sWASM_ASYNC_COMPILATION=0)
add_executable(cpu_paths_bench_page bench/cpu_paths_bench.cpp)
target_link_libraries(cpu_paths_bench_page PRIVATE vantrose_core)
target_link_options(cpu_paths_bench_page PRIVATE -sENVIRONMENT=web -sALLOW_MEMORY_GROWTH=1
    -sEXIT_RUNTIME=1)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/cpu_paths_bench.html
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/bench/cpu_paths_bench.html
            ${CMAKE_BINARY_DIR}/cpu_paths_bench.html
    DEPENDS ${CMAKE_SOURCE_DIR}/bench/cpu_paths_bench.html)
add_custom_target(cpu_paths_bench_html ALL DEPENDS ${CMAKE_BINARY_DIR}/cpu_paths_bench.html)

# The module's first seconds through this libopenmpt under node, for the comparison with the
# native library (tests/web).
add_executable(module_samples tests/web/module_samples.cpp)
target_link_libraries(module_samples PRIVATE openmpt_web)
target_link_options(module_samples PRIVATE
    -sENVIRONMENT=node -sNODERAWFS=1 -sALLOW_MEMORY_GROWTH=1 -sWASM_ASYNC_COMPILATION=0)
