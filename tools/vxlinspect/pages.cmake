# The pages vxlinspect writes: `html` (one map in 3D) and `sheet` (many maps
# side by side).
#
# Their HTML, CSS and JavaScript live in web/ as ordinary files. At build
# time web/embed_web_files.cmake copies them, unchanged, into
# web_files_data.cc as raw string literals (see web_files.h), whenever one
# of them changes; nothing else (no Node, no bundler) takes part. zlib, a
# dependency of libpng already, deflates the map a page carries.
find_package(ZLIB REQUIRED)

set(VXLINSPECT_WEB_FILES
  viewer.html viewer.css vxl_decode.js mesh.js camera.js renderer.js overview.js controls.js
  viewer.js sheet.html sheet.css sheet.js)
list(TRANSFORM VXLINSPECT_WEB_FILES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/web/
     OUTPUT_VARIABLE VXLINSPECT_WEB_PATHS)
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/web_files_data.cc
  COMMAND ${CMAKE_COMMAND} -DWEB_DIR=${CMAKE_CURRENT_SOURCE_DIR}/web
          "-DFILES=${VXLINSPECT_WEB_FILES}"
          -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/web_files_data.cc
          -P ${CMAKE_CURRENT_SOURCE_DIR}/web/embed_web_files.cmake
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/web/embed_web_files.cmake ${VXLINSPECT_WEB_PATHS}
  COMMENT "Embedding the pages' files from tools/vxlinspect/web"
  VERBATIM)

target_sources(vxlinspect_lib PRIVATE
  web_files.cc
  ${CMAKE_CURRENT_BINARY_DIR}/web_files_data.cc
  page_encoding.cc
  page_template.cc
  map_page.cc
  html_command.cc
  sheet_entry.cc
  sheet_command.cc)
# The sheet works on one map per core.
find_package(Threads REQUIRED)
target_link_libraries(vxlinspect_lib PUBLIC Threads::Threads)
target_link_libraries(vxlinspect_lib PUBLIC ZLIB::ZLIB)
