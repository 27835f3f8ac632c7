# Precompiled headers: a set of headers parsed once per build and reused by every library built
# with the same macros and modules (a precompiled header serves nothing else). Each set is an
# object library of its own, so no library depends on another just for its headers.
#   pulsiero_intestazioni(NOME HEADER LIBRERIE...)  builds the set NOME from HEADER
#   pulsiero_usa_intestazioni(NOME BERSAGLI...)     lets the targets reuse it
function(pulsiero_intestazioni nome intestazione)
  add_library(pulsiero_intestazioni_${nome} OBJECT
    ${PROJECT_SOURCE_DIR}/cmake/IntestazioniPrecompilate.cpp)
  target_link_libraries(pulsiero_intestazioni_${nome} PRIVATE ${ARGN})
  target_precompile_headers(pulsiero_intestazioni_${nome} PRIVATE ${intestazione})
  set_target_properties(pulsiero_intestazioni_${nome} PROPERTIES AUTOMOC OFF)
endfunction()

function(pulsiero_usa_intestazioni nome)
  foreach(bersaglio ${ARGN})
    target_precompile_headers(${bersaglio} REUSE_FROM pulsiero_intestazioni_${nome})
  endforeach()
endfunction()
