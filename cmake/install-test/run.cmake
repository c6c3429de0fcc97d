# Installs the build into a scratch prefix, then builds and runs the host
# against it with find_package and with pkg-config.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  message(STATUS "${out}")
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
set(ini ${prefix}/${DATADIR}/tavik/examples/tavik-reference.ini)
set(ENV{LD_LIBRARY_PATH} ${prefix}/${LIBDIR})

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/host -B ${WORK_DIR}/cmake-host -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-host)
run(${WORK_DIR}/cmake-host/host ${ini})

if(NOT PKG_CONFIG)
  message(FATAL_ERROR "pkg-config is not installed")
endif()
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
execute_process(COMMAND ${PKG_CONFIG} --cflags --libs tavik RESULT_VARIABLE rc OUTPUT_VARIABLE flags
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know tavik")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${C_COMPILER} ${SOURCE_DIR}/host/host.c -o ${WORK_DIR}/pc-host ${flags})
run(${WORK_DIR}/pc-host ${ini})
