# The Windows build (MinGW-w64): vantrose_core with the SDL backend and the Windows calls, linked
# static into one vantrose.exe, zipped in build/windows/ with the generator's data.
set(VANTROSE_WINDOWS_DIR ${CMAKE_SOURCE_DIR}/build/windows CACHE PATH "The Windows program's folder")

# SDL2, libopenmpt, libpng and zlib for MinGW, built once per machine and kept outside the clone.
execute_process(COMMAND ${CMAKE_SOURCE_DIR}/platform/windows/libraries.sh
    OUTPUT_VARIABLE libraries OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE libraries_failed)
if(libraries_failed)
    message(FATAL_ERROR "the Windows libraries could not be built with MinGW (see above)")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${libraries})
find_package(SDL2 CONFIG REQUIRED)
find_package(Threads REQUIRED)
foreach(lib openmpt png16 z)
    add_library(windows_${lib} STATIC IMPORTED)
    set_target_properties(windows_${lib} PROPERTIES
        IMPORTED_LOCATION ${libraries}/lib/lib${lib}.a
        INTERFACE_INCLUDE_DIRECTORIES ${libraries}/include)
endforeach()
set_target_properties(windows_png16 PROPERTIES INTERFACE_LINK_LIBRARIES windows_z)

include(platform/native_content.cmake)

file(GLOB CORE_SOURCES CONFIGURE_DEPENDS
    shell/*.cpp capture/*.cpp runtime/*.cpp effects2d/*.cpp engine3d/*.cpp scenes3d/*.cpp resources/*.cpp
    platform/*.cpp platform/sdl/*.cpp platform/headless/*.cpp platform/windows/*.cpp)
# No X server behind the SDL window here.
list(REMOVE_ITEM CORE_SOURCES ${CMAKE_SOURCE_DIR}/shell/main.cpp ${CMAKE_SOURCE_DIR}/platform/sdl/x11_errors.cpp)
vantrose_cpu_paths(CORE_SOURCES cpu_x86.cpp ${VANTROSE_X86_PATHS})
add_library(vantrose_core STATIC ${CORE_SOURCES} ${native_resources})
add_dependencies(vantrose_core native_content)
target_include_directories(vantrose_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(vantrose_core PUBLIC VANTROSE_VERSION="${PROJECT_VERSION}")
target_link_libraries(vantrose_core PUBLIC
    SDL2::SDL2-static windows_openmpt windows_png16 Threads::Threads winmm)

# One file to ship: the C and C++ runtimes and the thread library inside it.
add_executable(vantrose shell/main.cpp platform/windows/vantrose.rc)
target_link_libraries(vantrose PRIVATE vantrose_core)
target_link_options(vantrose PRIVATE -static -s)
set_target_properties(vantrose PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VANTROSE_WINDOWS_DIR})

# The data and a few words beside the program, and all of it in one zip.
set(windows_files ${VANTROSE_WINDOWS_DIR}/vantrose.dat ${VANTROSE_WINDOWS_DIR}/vantrose.s3m
    ${VANTROSE_WINDOWS_DIR}/README.txt)
add_custom_command(OUTPUT ${VANTROSE_WINDOWS_DIR}/vantrose.dat ${VANTROSE_WINDOWS_DIR}/vantrose.s3m
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${native_data} ${VANTROSE_WINDOWS_DIR}/
    DEPENDS ${native_data} native_content)
add_custom_command(OUTPUT ${VANTROSE_WINDOWS_DIR}/README.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/platform/windows/README.txt
            ${VANTROSE_WINDOWS_DIR}/README.txt
    DEPENDS ${CMAKE_SOURCE_DIR}/platform/windows/README.txt)
set(zip ${VANTROSE_WINDOWS_DIR}/vantrose-windows.zip)
add_custom_command(OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${zip}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip vantrose.exe vantrose.dat vantrose.s3m README.txt
    WORKING_DIRECTORY ${VANTROSE_WINDOWS_DIR}
    DEPENDS vantrose ${windows_files})
add_custom_target(windows_zip ALL DEPENDS ${zip})

# A stand-in ffmpeg.exe that counts what it is sent, for the recording test under Wine.
add_executable(ffmpeg_stub tests/windows/ffmpeg_stub.cpp)
target_link_options(ffmpeg_stub PRIVATE -static -s)
target_link_libraries(ffmpeg_stub PRIVATE Threads::Threads)
set_target_properties(ffmpeg_stub PROPERTIES OUTPUT_NAME ffmpeg
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/ffmpeg-stub)
