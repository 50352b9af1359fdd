# Installable CMake package (find_package(ZQAudio CONFIG)) and pkg-config file.
include(CMakePackageConfigHelpers)

install(EXPORT ZQAudioTargets
        NAMESPACE ZQAudio::
        DESTINATION "${CMAKE_INSTALL_LIBDIR}/cmake/ZQAudio"
        COMPONENT development)

configure_package_config_file(
    "${PROJECT_SOURCE_DIR}/cmake/ZQAudioConfig.cmake.in"
    "${PROJECT_BINARY_DIR}/ZQAudioConfig.cmake"
    INSTALL_DESTINATION "${CMAKE_INSTALL_LIBDIR}/cmake/ZQAudio"
    PATH_VARS ZQ_COMPONENT_DIR)
write_basic_package_version_file(
    "${PROJECT_BINARY_DIR}/ZQAudioConfigVersion.cmake"
    COMPATIBILITY SameMinorVersion)
install(FILES "${PROJECT_BINARY_DIR}/ZQAudioConfig.cmake"
              "${PROJECT_BINARY_DIR}/ZQAudioConfigVersion.cmake"
        DESTINATION "${CMAKE_INSTALL_LIBDIR}/cmake/ZQAudio"
        COMPONENT development)

configure_file("${PROJECT_SOURCE_DIR}/cmake/zqaudio.pc.in" "${PROJECT_BINARY_DIR}/zqaudio.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/zqaudio.pc"
        DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig"
        COMPONENT development)
