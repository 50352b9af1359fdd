# Installs the build to a scratch prefix, builds the consumer project against it, runs it and
# checks what the installed module exports.
# Inputs: BUILD_DIR, WORK_DIR, SOURCE_DIR; PYTHON (empty without the Python package) and
# PYTHON_PACKAGE_DIR, where the package is installed relative to the prefix.
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
    endif()
    set(run_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
run(${CMAKE_COMMAND} -S "${SOURCE_DIR}/consumer" -B "${WORK_DIR}/consumer"
    "-DCMAKE_PREFIX_PATH=${prefix}" -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build "${WORK_DIR}/consumer")
run("${WORK_DIR}/consumer/consumer")
message(STATUS "${run_output}")

file(GLOB_RECURSE module "${prefix}/*/zq/components/zq.filter.audio.hl-pass.so")
if(NOT module)
    message(FATAL_ERROR "module not installed under <libdir>/zq/components")
endif()
run(nm -D --defined-only "${module}")
string(REGEX MATCHALL "[^\n]+" symbols "${run_output}")
set(c_symbols getComponentInstance
              __rev__component_filter_audio_hl_pass__zq_filter_audio_hl_pass__)
foreach(name IN LISTS c_symbols)
    if(NOT run_output MATCHES "[ \t]${name}\n")
        message(FATAL_ERROR "module does not export ${name}")
    endif()
endforeach()
run(nm -D --defined-only -C "${module}")
string(REGEX MATCHALL "[^\n]+" demangled "${run_output}")
foreach(line IN LISTS demangled)
    if(NOT line MATCHES "(ns_audio_dsp::|ns_audio_channel::|getComponentInstance|__rev__)")
        message(FATAL_ERROR "module leaks a symbol: ${line}")
    endif()
endforeach()
list(LENGTH demangled count)
message(STATUS "module exports ${count} symbols")
foreach(file include/zq/dsp/libdspaudio include/zq/channel/audio_channel
             include/zq/lib/cm/CMComponent)
    if(NOT EXISTS "${prefix}/${file}")
        message(FATAL_ERROR "missing ${file}")
    endif()
endforeach()
file(GLOB_RECURSE pc "${prefix}/*/pkgconfig/zqaudio.pc")
if(NOT pc)
    message(FATAL_ERROR "pkg-config file not installed")
endif()

# The Python package imports from where it was installed, and filters.
if(PYTHON)
    set(ENV{PYTHONPATH} "${prefix}/${PYTHON_PACKAGE_DIR}")
    # Lines, not semicolons: run() would split its arguments at them.
    run(${PYTHON} -c "import numpy, zqaudio
print(zqaudio.__file__)
zqaudio.Filter(48000, 2, 300, 4000).process(numpy.zeros((64, 2), numpy.float32))")
    if(NOT run_output MATCHES "^${prefix}/${PYTHON_PACKAGE_DIR}/zqaudio/__init__.py")
        message(FATAL_ERROR "zqaudio imported from elsewhere: ${run_output}")
    endif()
endif()
