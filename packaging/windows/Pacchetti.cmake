# What a person on Windows downloads, for this build's architecture: a portable zip (the program,
# the README, the licence) and an installer made with NSIS. Both land in PULSIERO_PACCHETTI,
# which scripts/windows.sh shares between the two architectures.
find_program(MAKENSIS makensis REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(PULSIERO_ARCH x64)
else()
  set(PULSIERO_ARCH x86)
endif()
set(PULSIERO_PACCHETTI "${PROJECT_BINARY_DIR}/pacchetti" CACHE PATH
  "Folder of the zips and installers")
set(nome_pacchetto Pulsiero-${PROJECT_VERSION}-${PULSIERO_ARCH})
set(PULSIERO_ZIP ${PULSIERO_PACCHETTI}/${nome_pacchetto}.zip)
set(PULSIERO_INSTALLATORE ${PULSIERO_PACCHETTI}/${nome_pacchetto}-setup.exe)

set(contenuto ${CMAKE_CURRENT_BINARY_DIR}/pacchetto/Pulsiero)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/LICENZA.txt.in
  ${CMAKE_CURRENT_BINARY_DIR}/LICENZA.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/pulsiero.nsi.in
  ${CMAKE_CURRENT_BINARY_DIR}/pulsiero.nsi @ONLY)

add_custom_command(OUTPUT ${PULSIERO_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${contenuto}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${contenuto} ${PULSIERO_PACCHETTI}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:pulsiero> ${PROJECT_SOURCE_DIR}/README.md
    ${CMAKE_CURRENT_BINARY_DIR}/LICENZA.txt ${contenuto}
  COMMAND ${CMAKE_COMMAND} -E chdir ${contenuto}/.. ${CMAKE_COMMAND} -E tar cf ${PULSIERO_ZIP}
    --format=zip Pulsiero
  DEPENDS pulsiero ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_BINARY_DIR}/LICENZA.txt
  VERBATIM)
add_custom_command(OUTPUT ${PULSIERO_INSTALLATORE}
  COMMAND ${MAKENSIS} -V2 -DORIGINE=${contenuto} -DUSCITA=${PULSIERO_INSTALLATORE}
    ${CMAKE_CURRENT_BINARY_DIR}/pulsiero.nsi
  DEPENDS ${PULSIERO_ZIP} ${CMAKE_CURRENT_BINARY_DIR}/pulsiero.nsi
  VERBATIM)
add_custom_target(pacchetti ALL DEPENDS ${PULSIERO_ZIP} ${PULSIERO_INSTALLATORE})
