velmora_add_test(test_clipboard SOURCES test_clipboard.cpp editprompts.h LIBS velmora_spreadsheet)
velmora_add_test(test_find SOURCES test_find.cpp editprompts.h LIBS velmora_spreadsheet)
velmora_add_test(test_gotocell SOURCES test_gotocell.cpp LIBS velmora_spreadsheet)
velmora_add_test(test_sort SOURCES test_sort.cpp editprompts.h LIBS velmora_spreadsheet)
