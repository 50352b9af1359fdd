# Flags every target of the project shares. The filters reproduce a fixed single-precision
# order of operations bit for bit, so contraction into fused multiply-adds is always off and
# no fast-math style flag may ever be added here.
function(zq_target_defaults target)
    target_compile_options(${target} PRIVATE
        -ffp-contract=off
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
        -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
    if(ZQ_WARNINGS_AS_ERRORS)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(ZQ_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=${ZQ_SANITIZE} -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=all)
        target_link_options(${target} PRIVATE -fsanitize=${ZQ_SANITIZE})
    endif()
endfunction()

# Installs the headers listed, keeping their paths relative to the source root, so that both
# the project and its users write #include <dsp/libdspaudio>.
function(zq_install_headers)
    foreach(header IN LISTS ARGN)
        file(RELATIVE_PATH rel "${PROJECT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}/${header}")
        get_filename_component(dir "${rel}" DIRECTORY)
        install(FILES "${header}" DESTINATION "${ZQ_INCLUDE_DIR}/${dir}" COMPONENT development)
    endforeach()
endfunction()
