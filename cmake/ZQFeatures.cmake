# Features beyond the core build when their Debian packages are found and are skipped with one
# status line when not; ZQ_REQUIRE_ALL_FEATURES (tests and CI) turns every skip into an error.
# The packages named are cmake/packages/<feature>.txt, the list the install scripts read.
option(ZQ_REQUIRE_ALL_FEATURES "Fail instead of skipping a feature whose packages are missing" OFF)

function(zq_feature_packages feature out)
    file(STRINGS "${PROJECT_SOURCE_DIR}/cmake/packages/${feature}.txt" lines REGEX "^[^#]")
    list(JOIN lines " " packages)
    set(${out} "${packages}" PARENT_SCOPE)
endfunction()

# Leaves OPTION_VAR ON only when every variable in ARGN is true; a macro, so the switch-off
# shadows the cached option in the caller's scope.
macro(zq_optional_feature option_var feature description)
    if(${option_var})
        set(zq_missing "")
        foreach(zq_requirement ${ARGN})
            if(NOT ${zq_requirement})
                set(zq_missing ON)
            endif()
        endforeach()
        if(zq_missing)
            zq_feature_packages(${feature} zq_packages)
            if(ZQ_REQUIRE_ALL_FEATURES)
                message(FATAL_ERROR "Cannot build ${description}: install the Debian packages "
                                    "${zq_packages}, or configure with -D${option_var}=OFF")
            endif()
            message(STATUS "Skipping ${description} (Debian packages: ${zq_packages})")
            set(${option_var} OFF)
        endif()
    endif()
endmacro()
