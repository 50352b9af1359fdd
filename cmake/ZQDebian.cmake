# Debian packages made by `cmake --build BUILD --target package`, one per install component:
#   zq-audio         zq-filter and its manual page, the component module, libzqcm, the plugins
#   python3-zqaudio  the zqaudio package in Python's dist-packages
#   zq-audio-dev     headers, static libraries, the CMake package and the pkg-config file
# Configure with -DCMAKE_INSTALL_PREFIX=/usr so that the library folder is Debian's multiarch one.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zq-audio)
set(CPACK_PACKAGE_VENDOR "ZQ Audio")
set(CPACK_PACKAGE_CONTACT "ZQ Audio <maintainers@zq-audio.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
if(ZQ_BUILD_PYTHON)
    list(APPEND CPACK_COMPONENTS_ALL python)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME zq-audio)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "Butterworth high- and low-pass filter: zq-filter, the component module, LV2, LADSPA plugins")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-zqaudio)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3, python3-numpy, python3-soundfile, python3-dask")
set(CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/cmake/debian/python/postinst"
                                             "${PROJECT_SOURCE_DIR}/cmake/debian/python/prerm")
set(CPACK_COMPONENT_PYTHON_DESCRIPTION "The zqaudio filter engine for Python, with NumPy and Dask")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME zq-audio-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "ZQ Audio's headers, static libraries, CMake package (find_package(ZQAudio)) and zqaudio.pc")

include(CPack)
