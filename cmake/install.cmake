# Installation: the shared and static libraries, the headers, the CLI, a CMake
# package (find_package(Vexal) gives Vexal::vexal and Vexal::vexal_static)
# and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VEXAL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vexal)

foreach(target vexal vexal_static)
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endforeach()
if(NOT WIN32)
  # The static library's own dependency; a C++ linker brings the C++ runtime.
  target_link_libraries(vexal_static INTERFACE m)
endif()
set_target_properties(vexal PROPERTIES EXPORT_NAME vexal)
set_target_properties(vexal_static PROPERTIES EXPORT_NAME vexal_static)

install(TARGETS vexal vexal_static EXPORT VexalTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS vexal_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET vexal_precise)  # VexalPrecise.dll beside Vexal.dll and vexal.exe, which load it
  install(TARGETS vexal_precise RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# Every public header: a new one under include/ is installed (and packaged)
# without being listed here.
file(GLOB VEXAL_PUBLIC_HEADERS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/include/*.h)
install(FILES ${VEXAL_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# vexal(1), written from the CLI's own --help and list by running it.
find_package(Python3 COMPONENTS Interpreter QUIET)
if(NOT WIN32 AND NOT CMAKE_CROSSCOMPILING AND NOT VEXAL_SANITIZE AND NOT VEXAL_TSAN AND Python3_FOUND)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/vexal.1
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tools/gen_man.py $<TARGET_FILE:vexal_cli>
            ${PROJECT_VERSION} ${CMAKE_BINARY_DIR}/vexal.1
    DEPENDS vexal_cli vexal ${CMAKE_CURRENT_SOURCE_DIR}/tools/gen_man.py VERBATIM)
  add_custom_target(vexal_man ALL DEPENDS ${CMAKE_BINARY_DIR}/vexal.1)
  install(FILES ${CMAKE_BINARY_DIR}/vexal.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

install(EXPORT VexalTargets NAMESPACE Vexal:: DESTINATION ${VEXAL_CMAKE_DIR})
file(WRITE ${CMAKE_BINARY_DIR}/VexalConfig.cmake
  "# Vexal: Vexal::vexal (shared library) and Vexal::vexal_static.\n"
  "include(CMakeFindDependencyMacro)\n"
  "find_dependency(Threads)\n"
  "include(\${CMAKE_CURRENT_LIST_DIR}/VexalTargets.cmake)\n")
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VexalConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VexalConfig.cmake ${CMAKE_BINARY_DIR}/VexalConfigVersion.cmake
  DESTINATION ${VEXAL_CMAKE_DIR})

# vexal.pc finds its prefix from its own place, so the tree can be moved
# (and cmake --install --prefix works without reconfiguring).
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(VEXAL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(VEXAL_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  string(REGEX REPLACE "[^/]+" ".." up "${CMAKE_INSTALL_LIBDIR}")
  set(VEXAL_PC_PREFIX "\${pcfiledir}/../${up}")
  set(VEXAL_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(VEXAL_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(VEXAL_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
if(WIN32)
  set(VEXAL_PC_LIBS "-L\${libdir} -l${VEXAL_DLL_NAME}")
  set(VEXAL_PC_PRIVATE "")
else()
  set(VEXAL_PC_LIBS "-L\${libdir} -lvexal")
  set(VEXAL_PC_PRIVATE "-lstdc++ -lm -pthread")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/vexal.pc
  "prefix=${VEXAL_PC_PREFIX}\n"
  "libdir=${VEXAL_PC_LIBDIR}\n"
  "includedir=${VEXAL_PC_INCLUDEDIR}\n"
  "\n"
  "Name: vexal\n"
  "Description: Quantitative-finance functions: options, probabilities, series statistics, fits, generator\n"
  "Version: ${PROJECT_VERSION}\n"
  "Libs: ${VEXAL_PC_LIBS}\n"
  "Libs.private: ${VEXAL_PC_PRIVATE}\n"
  "Cflags: -I\${includedir}\n")
install(FILES ${CMAKE_BINARY_DIR}/vexal.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
