# The Windows ZIP: the window program, the terminal program, kvimage, the
# demo image and a short README, all in one folder. No DLL goes with them:
# everything is linked statically.
foreach(_program kvflash kvflash-cli kvimage)
  if(TARGET ${_program})
    install(TARGETS ${_program} RUNTIME DESTINATION .)
  endif()
endforeach()
set(KVFLASH_DEMO_IMAGE_DIR "" CACHE PATH "Where the Linux build's kvimage made the demo image to ship")
if(KVFLASH_DEMO_IMAGE_DIR)
  install(FILES ${KVFLASH_DEMO_IMAGE_DIR}/${KVFLASH_DEMO_IMAGE_NAME} DESTINATION .)
endif()
install(FILES ${KV_GENERATED_DIR}/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kvflash)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_PACKAGE_FILE_NAME kvflash-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
