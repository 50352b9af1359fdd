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
    # Coverage for libFuzzer in everything a fuzz target may reach.
    if(ZQ_BUILD_FUZZERS AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
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

# One of the project's static libraries: every .cpp of the calling folder, built position
# independent so the component module can carry it whole, installed with the folder's public
# headers (the extensionless chief header, if the folder has one, and every .h beside it;
# subfolders such as detail/ stay private and add their sources with target_sources).
# Creates zq_<name>, exported as ZQAudio::<name>, file libzq<name>.a.
function(zq_add_folder_library name)
    set(chief_header ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    add_library(zq_${name} STATIC ${sources})
    add_library(ZQAudio::${name} ALIAS zq_${name})
    set_target_properties(zq_${name} PROPERTIES OUTPUT_NAME zq${name} EXPORT_NAME ${name})
    target_include_directories(zq_${name} PUBLIC "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>"
                                                 "$<INSTALL_INTERFACE:${ZQ_INCLUDE_DIR}>")
    zq_target_defaults(zq_${name})
    file(GLOB headers RELATIVE "${CMAKE_CURRENT_SOURCE_DIR}" CONFIGURE_DEPENDS
         "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
    zq_install_headers(${chief_header} ${headers})
    install(TARGETS zq_${name} EXPORT ZQAudioTargets
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
endfunction()

# The vector paths of `target`: on x86-64 the translation units listed after AVX are compiled
# for AVX, those after AVX512 for AVX-512 (F, DQ, BW, VL); the others stay SSE2, and the wider
# code runs only after a run-time check. A family without an AVX-512 unit leaves that set out
# of its kernel table. NEON needs nothing, as every 64-bit ARM processor has
# it. ZQ_FORCE_SCALAR builds the scalar reference paths alone. See primitives/simd/paths.h.
function(zq_simd_sources target)
    cmake_parse_arguments(PARSE_ARGV 1 set "" "" "AVX;AVX512")
    if(ZQ_FORCE_SCALAR)
        target_compile_definitions(${target} PRIVATE ZQ_FORCE_SCALAR)
    elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
        set_source_files_properties(${set_AVX} TARGET_DIRECTORY ${target}
                                    PROPERTIES COMPILE_OPTIONS -mavx)
        set_source_files_properties(
            ${set_AVX512} TARGET_DIRECTORY ${target}
            PROPERTIES COMPILE_OPTIONS "-mavx512f;-mavx512dq;-mavx512bw;-mavx512vl")
        target_compile_definitions(${target} PRIVATE ZQ_SIMD_WITH_AVX ZQ_SIMD_WITH_AVX512)
    endif()
endfunction()
