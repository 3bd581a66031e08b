velmora_add_test(test_desktop SOURCES test_desktop.cpp LIBS velmora_app)
target_include_directories(test_desktop PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../spreadsheet)
velmora_add_test(test_resultscommands SOURCES test_resultscommands.cpp LIBS velmora_app)
target_include_directories(test_resultscommands PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../spreadsheet)

# The X11 tests hold one lock: two xvfb-run -a started at once can pick the
# same display, and one loses its server midway.
# The program itself with a document argument, under Xvfb.
add_test(NAME open_argument_x11
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_open_argument.sh
        $<TARGET_FILE:velmora> ${PROJECT_SOURCE_DIR}/examples/chi-squared.sp)
set_tests_properties(open_argument_x11 PROPERTIES SKIP_RETURN_CODE 77 RESOURCE_LOCK xvfb TIMEOUT 120)

# Typing, Ctrl+Z and Ctrl+S with a real keyboard under Xvfb.
add_test(NAME undo_save_x11
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_undo_save.sh
        $<TARGET_FILE:velmora> ${PROJECT_SOURCE_DIR}/examples/chi-squared.sp
        ${CMAKE_CURRENT_SOURCE_DIR}/xkeys.py)
set_tests_properties(undo_save_x11 PROPERTIES SKIP_RETURN_CODE 77 RESOURCE_LOCK xvfb TIMEOUT 180)

# Autosave, a kill and the recovery at the next start, with real keys under Xvfb.
add_test(NAME recovery_x11
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_recovery.sh
        $<TARGET_FILE:velmora> $<TARGET_FILE:velmora-cli>
        ${PROJECT_SOURCE_DIR}/examples/chi-squared.sp ${CMAKE_CURRENT_SOURCE_DIR}/xkeys.py)
set_tests_properties(recovery_x11 PROPERTIES SKIP_RETURN_CODE 77 RESOURCE_LOCK xvfb TIMEOUT 300)
