# Main window, window registry, dialogs seam and the two programs.
target_sources(varnok_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/windowregistry.cpp ${CMAKE_CURRENT_LIST_DIR}/windowregistry.h)

target_sources(varnok_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/application.cpp ${CMAKE_CURRENT_LIST_DIR}/application.h
  ${CMAKE_CURRENT_LIST_DIR}/dialogs.cpp ${CMAKE_CURRENT_LIST_DIR}/dialogs.h
  ${CMAKE_CURRENT_LIST_DIR}/headlessdialogs.cpp ${CMAKE_CURRENT_LIST_DIR}/headlessdialogs.h
  ${CMAKE_CURRENT_LIST_DIR}/mainform.cpp ${CMAKE_CURRENT_LIST_DIR}/mainform.h)

add_executable(varnok ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(varnok PRIVATE varnok_ui)

add_executable(varnok-run ${CMAKE_CURRENT_LIST_DIR}/varnok_run.cpp)
target_link_libraries(varnok-run PRIVATE varnok_ui)

