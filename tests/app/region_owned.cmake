# Tests of the hotkeys and the recording completion.
framelark_add_test(hotkeys_rules_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/hotkeys_rules_test.cpp)
framelark_add_test(hotkeys_tests WINDOWS SOURCES ${CMAKE_CURRENT_LIST_DIR}/hotkeys_test.cpp)
framelark_add_test(completion_tests WINDOWS SCREEN SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/completion_test.cpp ${CMAKE_CURRENT_LIST_DIR}/completion_test.rc)
