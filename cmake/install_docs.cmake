# What an installed program comes with: its manual page (compressed, as
# man finds it on Debian) and, for vxlinspect, the bash completion of its
# commands and options.
set(VXLFORGE_MAN_PAGES vxlforge.1)
if(VXLFORGE_TOOLS)
  list(APPEND VXLFORGE_MAN_PAGES vxlinspect.1)
endif()

set(VXLFORGE_COMPRESSED_PAGES)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
foreach(page IN LISTS VXLFORGE_MAN_PAGES)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page})
  set(compressed ${PROJECT_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${compressed}
                     COMMAND ${CMAKE_COMMAND} -DINPUT=${source} -DOUTPUT=${compressed}
                             -P ${PROJECT_SOURCE_DIR}/cmake/gzip_file.cmake
                     DEPENDS ${source} ${PROJECT_SOURCE_DIR}/cmake/gzip_file.cmake
                     COMMENT "Compressing the manual page ${page}")
  list(APPEND VXLFORGE_COMPRESSED_PAGES ${compressed})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${VXLFORGE_COMPRESSED_PAGES})
install(FILES ${VXLFORGE_COMPRESSED_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(VXLFORGE_TOOLS)
  install(FILES ${PROJECT_SOURCE_DIR}/contrib/bash-completion/vxlinspect
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
