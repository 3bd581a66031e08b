velmora_add_test(test_documents SOURCES test_documents.cpp LIBS velmora_app)
target_include_directories(test_documents PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../spreadsheet)
velmora_add_test(test_texttablewindow SOURCES test_texttablewindow.cpp LIBS velmora_app)
target_include_directories(test_texttablewindow PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../spreadsheet)
