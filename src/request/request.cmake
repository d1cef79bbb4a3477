# Request composition and answer parsing (core, no widgets).
target_sources(varnok_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/requestcomposer.cpp ${CMAKE_CURRENT_LIST_DIR}/requestcomposer.h
  ${CMAKE_CURRENT_LIST_DIR}/answerparser.cpp ${CMAKE_CURRENT_LIST_DIR}/answerparser.h)
