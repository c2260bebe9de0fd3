# Hotkeys and recording completion.
target_sources(framelark_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/hotkeys_rules.cpp)
if(WIN32)
  target_sources(framelark_win PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/hotkeys.cpp
    ${CMAKE_CURRENT_LIST_DIR}/convert_progress_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recording_completion.cpp)
endif()
