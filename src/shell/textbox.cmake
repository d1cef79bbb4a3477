# The exact-text box and the help and about windows.
target_sources(varnok_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/textbox.cpp ${CMAKE_CURRENT_LIST_DIR}/textbox.h)
