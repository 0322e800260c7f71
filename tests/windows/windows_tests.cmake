# The Windows program in build/windows (scripts/windows.sh makes it) under Wine, beside the Linux
# one; each test is skipped where Wine or that build is absent.
set(windows_cases checksums missing bad-option interrupt window record)
foreach(case ${windows_cases})
    add_test(NAME windows_${case}
        COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/wine_test.sh ${case} ${CMAKE_SOURCE_DIR}/build/windows
                $<TARGET_FILE:vantrose> ${VANTROSE_DATA_DIR} ${CMAKE_BINARY_DIR}/wine-test)
    set_tests_properties(windows_${case} PROPERTIES LABELS windows SKIP_RETURN_CODE 77 TIMEOUT 600)
endforeach()
set_tests_properties(windows_window PROPERTIES RESOURCE_LOCK x_display)
