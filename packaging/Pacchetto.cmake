# Icons rendered from the SVG, manual pages, the package's documents, and the .deb itself.

# A stripped install (cpack, cmake --install --strip) also drops the compiler's .comment notes,
# as Debian's own stripping does.
find_program(OBJCOPY_PROGRAM NAMES ${CMAKE_OBJCOPY} objcopy)
if(OBJCOPY_PROGRAM)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(programma ${CMAKE_INSTALL_BINDIR}/pulsiero ${CMAKE_INSTALL_BINDIR}/pulsiero-ricevitore
                        ${PULSIERO_CARTELLA_MODULI}/pulsiero-finestra.so)
        execute_process(COMMAND \"${OBJCOPY_PROGRAM}\" --remove-section=.comment
          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${programma}\")
      endforeach()
    endif()")
endif()

# PNG icons in every size desktops look for, beside the scalable one.
set(PULSIERO_DIMENSIONI_ICONE 16 22 24 32 48 64 128 256)
find_program(RSVG_CONVERT rsvg-convert)
set(icone_png)
if(RSVG_CONVERT)
  foreach(lato IN LISTS PULSIERO_DIMENSIONI_ICONE)
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icone/${lato}x${lato}/pulsiero.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory icone/${lato}x${lato}
      COMMAND ${RSVG_CONVERT} --width=${lato} --height=${lato} --keep-aspect-ratio
        --output=${png} ${CMAKE_CURRENT_SOURCE_DIR}/assets/pulsiero.svg
      DEPENDS assets/pulsiero.svg
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
      VERBATIM)
    list(APPEND icone_png ${png})
    install(FILES ${png}
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${lato}x${lato}/apps)
  endforeach()
else()
  message(STATUS "rsvg-convert (librsvg2-bin) not found: only the scalable icon is installed")
endif()
install(FILES assets/pulsiero.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Compressed as Debian wants them: gzip -9 without a time stamp, so builds are reproducible.
function(pulsiero_gzip sorgente destinazione)
  get_filename_component(nome ${destinazione} NAME_WE)
  add_custom_command(OUTPUT ${destinazione}
    COMMAND ${CMAKE_COMMAND} -E copy ${sorgente} ${destinazione}.tmp
    COMMAND gzip -9nf ${destinazione}.tmp
    COMMAND ${CMAKE_COMMAND} -E rename ${destinazione}.tmp.gz ${destinazione}
    DEPENDS ${sorgente}
    VERBATIM)
endfunction()

set(documenti_gz)
foreach(pagina pulsiero.1 pulsiero-ricevitore.1)
  set(gz ${CMAKE_CURRENT_BINARY_DIR}/man/${pagina}.gz)
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/man)
  pulsiero_gzip(${CMAKE_CURRENT_SOURCE_DIR}/packaging/man/${pagina} ${gz})
  list(APPEND documenti_gz ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(PULSIERO_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/pulsiero)
configure_file(packaging/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/doc/copyright @ONLY)
configure_file(packaging/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog @ONLY)
pulsiero_gzip(${CMAKE_CURRENT_BINARY_DIR}/doc/changelog ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz)
list(APPEND documenti_gz ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/doc/copyright ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz
  DESTINATION ${PULSIERO_DOCDIR})

# Built with the programs, so that install and cpack find them.
add_custom_target(documenti_e_icone ALL DEPENDS ${icone_png} ${documenti_gz})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pulsiero)
set(CPACK_PACKAGE_VENDOR "${PULSIERO_TITLE}")
set(CPACK_PACKAGE_CONTACT "${PULSIERO_EMAIL}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of the extended description stay under 80 characters, as Debian's tools want.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Un pulsiero (telecomando) a quattro tasti sullo schermo: ogni clic su un"
  "tasto invia a un ricevitore in rete, su una breve connessione TCP, una trama"
  "a codice variabile con i numeri del ricevitore e del pulsiero, il tasto, il"
  "minuto del giorno, un valore casuale e un contatore dei passi che avanza a"
  "ogni pressione."
  ""
  "Il programma resta nell'area di notifica e può avviarsi all'accesso;"
  "pulsiero --tasto N preme un tasto dalla riga di comando, per scorciatoie e"
  "script di domotica. Comprende il ricevitore di riferimento"
  "pulsiero-ricevitore, che decodifica le trame e controlla il codice variabile.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PULSIERO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PULSIERO_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Native on Wayland with its tray icon as a StatusNotifierItem; Italian standard buttons.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n")
include(CPack)
