# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -D BUILD_DIR=... -D PREFIX=... -D APP_ID=... -P check_install.cmake
cmake_minimum_required(VERSION 3.25)

set(failed FALSE)
macro(fail message)
  message(SEND_ERROR "${message}")
  set(failed TRUE)
endmacro()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

set(expected
  bin/varnok
  bin/varnok-run
  share/applications/${APP_ID}.desktop
  share/metainfo/${APP_ID}.metainfo.xml
  share/mime/packages/${APP_ID}.xml
  share/icons/hicolor/scalable/apps/${APP_ID}.svg
  share/man/man1/varnok.1
  share/man/man1/varnok-run.1
  share/doc/varnok/copyright)
foreach(size 16 22 24 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png)
endforeach()

file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT expected)
list(SORT installed)
set(missing ${expected})
list(REMOVE_ITEM missing ${installed})
set(extra ${installed})
list(REMOVE_ITEM extra ${expected})
if(missing)
  fail("not installed: ${missing}")
endif()
if(extra)
  fail("installed but not expected: ${extra}")
endif()

# The desktop entry starts the installed program with the files to open,
# and names the icon and the file type that are installed beside it.
file(STRINGS "${PREFIX}/share/applications/${APP_ID}.desktop" desktop)
foreach(line "Exec=varnok %F" "Icon=${APP_ID}" "MimeType=application/x-varnok-skript;")
  if(NOT line IN_LIST desktop)
    fail("desktop entry lacks '${line}'")
  endif()
endforeach()
file(READ "${PREFIX}/share/mime/packages/${APP_ID}.xml" mime)
if(NOT mime MATCHES "<mime-type type=\"application/x-varnok-skript\">.*<glob pattern=\"\\*\\.varnok-skript\"/>")
  fail("the file type does not define application/x-varnok-skript for *.varnok-skript")
endif()
file(READ "${PREFIX}/share/metainfo/${APP_ID}.metainfo.xml" metainfo)
foreach(piece "<id>${APP_ID}</id>" "<launchable type=\"desktop-id\">${APP_ID}.desktop</launchable>"
              "<binary>varnok</binary>" "<binary>varnok-run</binary>")
  if(NOT metainfo MATCHES "${piece}")
    fail("AppStream data lacks ${piece}")
  endif()
endforeach()

if(failed)
  message(FATAL_ERROR "install check failed")
endif()
