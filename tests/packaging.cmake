# Consumers of the library: a C program through vexal.h, the installed CMake
# and pkg-config packages, the Python binding, and the binding checks against
# the export table. Native builds only: they run what they build.
if(CMAKE_CROSSCOMPILING OR VEXAL_SANITIZE OR VEXAL_TSAN)
  return()
endif()
set(VEXAL_ROOT ${PROJECT_SOURCE_DIR})

# A C program compiled against include/vexal.h, linked with the shared library.
add_executable(vexal_c_consumer ${VEXAL_ROOT}/tests/consumers/c/consumer.c)
target_include_directories(vexal_c_consumer PRIVATE ${VEXAL_ROOT}/include)
target_link_libraries(vexal_c_consumer PRIVATE vexal)
if(NOT WIN32)
  target_link_libraries(vexal_c_consumer PRIVATE m)
endif()
add_test(NAME c_consumer COMMAND vexal_c_consumer)

# Install into a fresh prefix, then build and run a find_package(Vexal)
# project and a pkg-config build against it.
find_program(VEXAL_PKG_CONFIG pkg-config)
foreach(mode find_package pkg-config)
  if(mode STREQUAL "pkg-config" AND NOT VEXAL_PKG_CONFIG)
    continue()
  endif()
  add_test(NAME install_${mode}_consumer
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DSOURCE_DIR=${VEXAL_ROOT}
            -DWORK_DIR=${CMAKE_BINARY_DIR}/consumers/${mode} -DMODE=${mode}
            -DC_COMPILER=${CMAKE_C_COMPILER} -DCXX_COMPILER=${CMAKE_CXX_COMPILER}
            -DGENERATOR=${CMAKE_GENERATOR}
            -P ${VEXAL_ROOT}/tests/consumers/run_consumer.cmake)
  set_tests_properties(install_${mode}_consumer PROPERTIES TIMEOUT 600 RESOURCE_LOCK vexal_install)
endforeach()

if(Python3_FOUND)
  # The Python binding's tests, with this interpreter and with the system's
  # (which may be the one with numpy).
  set(interpreters ${Python3_EXECUTABLE})
  if(EXISTS /usr/bin/python3)
    file(REAL_PATH ${Python3_EXECUTABLE} found_python)
    file(REAL_PATH /usr/bin/python3 system_python)
    if(NOT found_python STREQUAL system_python)
      list(APPEND interpreters /usr/bin/python3)
    endif()
  endif()
  set(suffix "")
  foreach(py ${interpreters})
    add_test(NAME python_binding${suffix}
      COMMAND ${py} -m unittest discover -v -s ${VEXAL_ROOT}/python/tests)
    set_tests_properties(python_binding${suffix} PROPERTIES
      ENVIRONMENT "VEXAL_LIBRARY=$<TARGET_FILE:vexal>")
    set(suffix "_system")
  endforeach()

  # A fresh venv, `pip install ./python` alone (the library built by pip from
  # these sources), then the suite above against the installed package.
  set(suffix "")
  foreach(py ${interpreters})
    add_test(NAME python_install${suffix}
      COMMAND ${py} ${VEXAL_ROOT}/tests/python_install_check.py ${CMAKE_BINARY_DIR}/consumers/python${suffix})
    set_tests_properties(python_install${suffix} PROPERTIES TIMEOUT 600)
    set(suffix "_system")
  endforeach()

  # The Python page's worked examples print what the page shows.
  list(GET interpreters -1 py)
  add_test(NAME python_docs_examples
    COMMAND ${py} ${VEXAL_ROOT}/tests/python_docs_check.py ${CMAKE_BINARY_DIR}/consumers/python_docs)
  set_tests_properties(python_docs_examples PROPERTIES ENVIRONMENT "VEXAL_LIBRARY=$<TARGET_FILE:vexal>")
  # Every Python snippet of the README and docs runs as pasted (R's: scripts/r_check.sh).
  add_test(NAME docs_snippets_python COMMAND ${py} ${VEXAL_ROOT}/tests/docs_snippets_check.py python)
  set_tests_properties(docs_snippets_python PROPERTIES ENVIRONMENT "VEXAL_LIBRARY=$<TARGET_FILE:vexal>" TIMEOUT 900)

  # The header, the VBA module and the generated export list against the table.
  foreach(check header vba drift)
    add_test(NAME bindings_${check} COMMAND ${Python3_EXECUTABLE} ${VEXAL_ROOT}/tests/bindings_check.py ${check})
  endforeach()
  # The generated ctypes structures against the C compiler's layout.
  add_test(NAME bindings_capi_layout
    COMMAND ${Python3_EXECUTABLE} ${VEXAL_ROOT}/tests/capi_layout_check.py ${CMAKE_C_COMPILER})
endif()
