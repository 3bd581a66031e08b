velmora_add_test(test_help SOURCES test_help.cpp LIBS velmora_app)
target_include_directories(test_help PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../spreadsheet)
target_compile_definitions(test_help PRIVATE VELMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

# Real key and mouse events under Xvfb: the test dialog beside its block,
# the answer in view, Sort of one clicked cell.
velmora_add_test(test_windowx11 SOURCES test_windowx11.cpp LIBS velmora_app)
target_include_directories(test_windowx11 PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../spreadsheet)
target_compile_definitions(test_windowx11 PRIVATE VELMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_test(NAME window_x11 COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/run_x11.sh $<TARGET_FILE:test_windowx11>)
set_tests_properties(window_x11 PROPERTIES SKIP_RETURN_CODE 77 RESOURCE_LOCK xvfb TIMEOUT 300)

# The keys of a working day: Enter in the test dialog, the dialog beside a
# growing block, Go to Cell, Enter in the grid, Esc during a run; without
# and with a window manager.
velmora_add_test(test_keysx11 SOURCES test_keysx11.cpp x11helpers.h LIBS velmora_app)
target_include_directories(test_keysx11 PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../spreadsheet)
target_compile_definitions(test_keysx11 PRIVATE VELMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_test(NAME keys_x11 COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/run_x11.sh $<TARGET_FILE:test_keysx11>)
set_tests_properties(keys_x11 PROPERTIES SKIP_RETURN_CODE 77 RESOURCE_LOCK xvfb TIMEOUT 300)
add_test(NAME keys_x11_openbox
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/run_x11.sh --wm openbox $<TARGET_FILE:test_keysx11>)
set_tests_properties(keys_x11_openbox PROPERTIES SKIP_RETURN_CODE 77 RESOURCE_LOCK xvfb TIMEOUT 300)
