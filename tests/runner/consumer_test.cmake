# Installs the build into a scratch prefix, checks the layout and the
# installed dravik, then configures, builds and runs the consumer project
# against the prefix. Arguments: BUILD_DIR, SOURCE_DIR, WORK_DIR, GENERATOR,
# SANITIZE (the consumer is then built with the sanitizers the installed
# libraries need).
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")

function(run_step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${out}\n${err}")
  endif()
  set(step_output "${out}" PARENT_SCOPE)
endfunction()

run_step("install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
foreach(file
    bin/dravik
    bin/modules/C7653FCA-6B0C-44FA-936F-EA1952B129F0.so
    lib/libDravik.so lib/libVantic.so lib/BE69CCC4-CFC1-4362-AC81-767D199BBFC3.so
    include/hostapi/zyr_channel.h include/host/engine/module_loader.h
    lib/cmake/VanticPrcCall/VanticPrcCallConfig.cmake
    lib/cmake/VanticPrcCall/VanticPrcCallConfigVersion.cmake
    lib/cmake/VanticPrcCall/VanticPrcCallTargets.cmake)
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

# The installed program finds its libraries and its modules by itself.
run_step("installed dravik" "${prefix}/bin/dravik" run --frames 2 --format csv -q)
if(NOT step_output MATCHES "\n2,lost,Math :: Divide,call,1,,,\n")
  message(FATAL_ERROR "installed dravik printed:\n${step_output}")
endif()

set(sanitize_flags)
if(SANITIZE)
  set(sanitize_flags "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined"
                     "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined")
endif()
run_step("configure consumer" "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${WORK_DIR}/build"
  -G "${GENERATOR}" "-DCMAKE_PREFIX_PATH=${prefix}" -DCMAKE_BUILD_TYPE=Release ${sanitize_flags})
run_step("build consumer" "${CMAKE_COMMAND}" --build "${WORK_DIR}/build")
run_step("run consumer" "${WORK_DIR}/build/consumer")
if(NOT step_output MATCHES "Demo :: Plus2: status 0 result 5")
  message(FATAL_ERROR "consumer printed:\n${step_output}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
