# Request composition and answer parsing (core, no widgets).
target_sources(varnok_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/requestcomposer.cpp ${CMAKE_CURRENT_LIST_DIR}/requestcomposer.h
  ${CMAKE_CURRENT_LIST_DIR}/answerparser.cpp ${CMAKE_CURRENT_LIST_DIR}/answerparser.h)

# The request window and its output viewer (widgets).
target_sources(varnok_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/outputview.cpp ${CMAKE_CURRENT_LIST_DIR}/outputview.h
  ${CMAKE_CURRENT_LIST_DIR}/seitewindow.cpp ${CMAKE_CURRENT_LIST_DIR}/seitewindow.h)
