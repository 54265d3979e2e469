# Windows version resources (file and product version, description, licence)
# for the DLL and the CLI, made from the project version and compiled by the
# toolchain's resource compiler (windres with mingw-w64).
enable_language(RC)

function(vexal_version_resource target file type description)
  set(VEXAL_RC_FILE ${file})
  get_filename_component(VEXAL_RC_NAME ${file} NAME_WE)
  set(VEXAL_RC_TYPE ${type})
  set(VEXAL_RC_DESCRIPTION ${description})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${VEXAL_RC_NAME}_version.rc)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(bits "64-bit")
else()
  set(bits "32-bit")
endif()
get_target_property(cli_name vexal_cli OUTPUT_NAME)
vexal_version_resource(vexal ${VEXAL_DLL_NAME}.dll VFT_DLL
  "Vexal quantitative-finance functions (${bits})")
if(TARGET vexal_precise)
  vexal_version_resource(vexal_precise VexalPrecise.dll VFT_DLL
    "Vexal precise family, the companion of Vexal.dll (${bits})")
endif()
vexal_version_resource(vexal_cli ${cli_name}.exe VFT_APP
  "Vexal command-line tool (${bits})")
