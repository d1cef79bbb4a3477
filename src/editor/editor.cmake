# Script window and the script file format.
target_sources(varnok_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/scriptfile.cpp ${CMAKE_CURRENT_LIST_DIR}/scriptfile.h)

target_sources(varnok_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/skriptwindow.cpp ${CMAKE_CURRENT_LIST_DIR}/skriptwindow.h)
