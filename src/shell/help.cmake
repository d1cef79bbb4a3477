# The help window "Anleitung" and the About window "Über".
target_sources(varnok_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/hilfeform.cpp ${CMAKE_CURRENT_LIST_DIR}/hilfeform.h
  ${CMAKE_CURRENT_LIST_DIR}/ueberform.cpp ${CMAKE_CURRENT_LIST_DIR}/ueberform.h
  ${CMAKE_CURRENT_LIST_DIR}/maker.h)
