# Installs the built library into a fresh prefix under WORK_DIR and builds
# and runs a consumer of the installed package.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DMODE=find_package|pkg-config
#         -DC_COMPILER=... -DGENERATOR=... -P run_consumer.cmake
cmake_minimum_required(VERSION 3.20)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(f include/vexal.h include/vexal_batch.h include/vexal_precise.h bin/vexal)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "the install has no ${f}")
  endif()
endforeach()
file(GLOB_RECURSE pc ${prefix}/vexal.pc)
file(GLOB_RECURSE config ${prefix}/VexalConfig.cmake)
if(NOT pc OR NOT config)
  message(FATAL_ERROR "the install has no vexal.pc or no VexalConfig.cmake")
endif()

# The installed CLI finds the installed library by itself.
run(${prefix}/bin/vexal norm 0)
string(STRIP "${last_output}" norm0)
if(NOT norm0 STREQUAL "0.39894228040143287")
  message(FATAL_ERROR "installed vexal norm 0 printed '${norm0}'")
endif()

if(MODE STREQUAL "find_package")
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumers/find_package -B ${WORK_DIR}/build
      -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release
      -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
  run(${WORK_DIR}/build/consumer_shared)
  message("${last_output}")
  run(${WORK_DIR}/build/consumer_static)
  message("${last_output}")
else()
  get_filename_component(pcdir ${pc} DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} ${pcdir})
  run(pkg-config --cflags vexal)
  string(STRIP "${last_output}" cflags)
  run(pkg-config --libs vexal)
  string(STRIP "${last_output}" libs)
  run(pkg-config --variable=libdir vexal)
  string(STRIP "${last_output}" libdir)
  separate_arguments(cflags UNIX_COMMAND "${cflags}")
  separate_arguments(libs UNIX_COMMAND "${libs}")
  run(${C_COMPILER} ${cflags} ${SOURCE_DIR}/tests/consumers/c/consumer.c -o ${WORK_DIR}/consumer_pc
      ${libs} -lm -Wl,-rpath,${libdir})
  run(${WORK_DIR}/consumer_pc)
  message("${last_output}")
endif()
