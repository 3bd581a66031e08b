velmora_add_test(test_editing SOURCES test_editing.cpp LIBS velmora_app)
target_include_directories(test_editing PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../spreadsheet)
velmora_add_test(test_undowindow SOURCES test_undowindow.cpp LIBS velmora_app)
target_include_directories(test_undowindow PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../spreadsheet)
