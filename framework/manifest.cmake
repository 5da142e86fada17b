# embed_manifest(target): puts the application manifest (asInvoker, the
# supported Windows versions, no DPI awareness) into the executable as
# resource 1 of type RT_MANIFEST. Does nothing outside Windows builds.
set(FRAMEWORK_MANIFEST ${CMAKE_CURRENT_LIST_DIR}/application.manifest CACHE INTERNAL "")

function(embed_manifest target)
  if(NOT WIN32)
    return()
  endif()
  set(rc ${CMAKE_BINARY_DIR}/manifest/${target}_manifest.rc)
  file(CONFIGURE OUTPUT ${rc} CONTENT "1 24 \"${FRAMEWORK_MANIFEST}\"\n")
  target_sources(${target} PRIVATE ${rc})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${FRAMEWORK_MANIFEST})
endfunction()
