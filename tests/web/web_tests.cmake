# Browser tests of the web build in build/web (scripts/web.sh makes it); each is skipped when the
# web build is not there. web_long: the whole show, run by CI only.
set(web_site ${CMAKE_SOURCE_DIR}/build/web)
set(web_driver node ${CMAKE_SOURCE_DIR}/tests/web/browser_test.mjs)
set(web_args ${web_site} $<TARGET_FILE:vantrose> ${VANTROSE_DATA_DIR} ${CMAKE_BINARY_DIR}/web-test)
add_test(NAME web_devices COMMAND ${web_driver} devices ${web_args})
add_test(NAME web_missing_archive COMMAND ${web_driver} missing ${web_args})
add_test(NAME web_offline_first_scenes COMMAND ${web_driver} offline ${web_args} 3200)
add_test(NAME web_whole_show COMMAND ${web_driver} checksums ${web_args} 0)

add_executable(module_samples tests/web/module_samples.cpp)
target_link_libraries(module_samples PRIVATE PkgConfig::OPENMPT)
add_test(NAME web_module_samples COMMAND ${web_driver} samples ${web_args}
         $<TARGET_FILE:module_samples> ${CMAKE_SOURCE_DIR}/build/wasm/module_samples.js)

set(web_tests web_devices web_missing_archive web_offline_first_scenes web_module_samples)
set_tests_properties(${web_tests} web_whole_show PROPERTIES SKIP_RETURN_CODE 77 RESOURCE_LOCK chromium)
set_tests_properties(${web_tests} PROPERTIES LABELS web)
set_tests_properties(web_whole_show PROPERTIES LABELS "web;web_long" TIMEOUT 900)
