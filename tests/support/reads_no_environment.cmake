# Fails when the module at MODULE imports a function that reads the environment: a host's
# environment must not change what the component does.
execute_process(COMMAND "${NM}" -D --undefined-only "${MODULE}" OUTPUT_VARIABLE imports
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "nm could not read ${MODULE}")
endif()
if(imports MATCHES "[ \t](secure_getenv|getenv|environ)(@|\n)")
    message(FATAL_ERROR "${MODULE} reads the environment: ${CMAKE_MATCH_1}")
endif()
