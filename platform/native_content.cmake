# The data generator for a cross build (web, Windows): a native program, configured and built
# beside it, whose archive, module and compiled-in resources are the same bytes the native show
# uses. Gives native_data, native_resources and the target native_content.
set(native ${CMAKE_BINARY_DIR}/native)
if(NOT EXISTS ${native}/CMakeCache.txt)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env --unset=CC --unset=CXX --unset=CMAKE_TOOLCHAIN_FILE
                ${CMAKE_COMMAND} -S ${CMAKE_SOURCE_DIR} -B ${native} -G Ninja
                -DCMAKE_BUILD_TYPE=Release
        OUTPUT_QUIET RESULT_VARIABLE native_failed)
    if(native_failed)
        message(FATAL_ERROR "the native build of the data generator could not be configured")
    endif()
endif()
set(native_data ${native}/data/vantrose.dat ${native}/data/vantrose.s3m)
set(native_resources ${native}/generated/resources_data.cpp)
add_custom_target(native_content
    COMMAND ${CMAKE_COMMAND} --build ${native} --target vantrose_data
    BYPRODUCTS ${native_data} ${native_resources}
    COMMENT "Generating the show's data natively"
    VERBATIM)
