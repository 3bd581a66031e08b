velmora_add_test(test_actions SOURCES test_actions.cpp LIBS velmora_app)
velmora_add_test(test_results SOURCES test_results.cpp LIBS velmora_app)
velmora_add_test(test_calccontrol SOURCES test_calccontrol.cpp LIBS velmora_app)
velmora_add_test(test_seldialog SOURCES test_seldialog.cpp LIBS velmora_app)
