# Main window, window registry, dialogs seam and the two programs.
target_sources(varnok_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/windowregistry.cpp ${CMAKE_CURRENT_LIST_DIR}/windowregistry.h)

target_sources(varnok_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/application.cpp ${CMAKE_CURRENT_LIST_DIR}/application.h
  ${CMAKE_CURRENT_LIST_DIR}/dialogs.cpp ${CMAKE_CURRENT_LIST_DIR}/dialogs.h
  ${CMAKE_CURRENT_LIST_DIR}/headlessdialogs.cpp ${CMAKE_CURRENT_LIST_DIR}/headlessdialogs.h
  ${CMAKE_CURRENT_LIST_DIR}/mainform.cpp ${CMAKE_CURRENT_LIST_DIR}/mainform.h
  ${CMAKE_CURRENT_LIST_DIR}/seiteplaceholder.cpp ${CMAKE_CURRENT_LIST_DIR}/seiteplaceholder.h)

add_executable(varnok ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(varnok PRIVATE varnok_ui)

add_executable(varnok-run ${CMAKE_CURRENT_LIST_DIR}/varnok_run.cpp)
target_link_libraries(varnok-run PRIVATE varnok_ui)

# The main window opens the full request window once it is part of the
# build, and an empty stand-in until then.
get_target_property(_ui_sources varnok_ui SOURCES)
if(_ui_sources MATCHES "request/seitewindow\\.cpp")
  target_compile_definitions(varnok_ui PRIVATE VARNOK_HAVE_SEITEWINDOW=1)
endif()
