# SPDX-License-Identifier: BSD-3-Clause
# The programs' modules: shared objects a program loads only when it uses them (core/modules.h).
# Installed in a private folder of the multiarch library folder, where Debian keeps them (and
# where the package needs no ldconfig).
set(SNR_MODULE_DIR "${CMAKE_INSTALL_LIBDIR}/snr-maps")
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT CMAKE_INSTALL_LIBDIR MATCHES "/${CMAKE_LIBRARY_ARCHITECTURE}$")
  set(SNR_MODULE_DIR "${CMAKE_INSTALL_LIBDIR}/${CMAKE_LIBRARY_ARCHITECTURE}/snr-maps")
endif()

# A program finds them from its own folder (SNR_MODULE_FOLDER, relative), and in the build tree
# at the same place from snrmap's folder (SNR_MODULES_IN_BUILD), where the other programs and
# the tests find them too.
cmake_path(ABSOLUTE_PATH CMAKE_INSTALL_BINDIR BASE_DIRECTORY /prefix OUTPUT_VARIABLE program_folder)
cmake_path(ABSOLUTE_PATH SNR_MODULE_DIR BASE_DIRECTORY /prefix OUTPUT_VARIABLE module_folder)
file(RELATIVE_PATH SNR_MODULE_FOLDER ${program_folder} ${module_folder})
cmake_path(ABSOLUTE_PATH SNR_MODULE_FOLDER BASE_DIRECTORY ${PROJECT_BINARY_DIR}/tools/snrmap NORMALIZE
           OUTPUT_VARIABLE SNR_MODULES_IN_BUILD)
cmake_path(IS_PREFIX PROJECT_BINARY_DIR ${SNR_MODULES_IN_BUILD} NORMALIZE module_folder_in_build)
if(NOT module_folder_in_build)
  message(FATAL_ERROR "SNR_MODULE_DIR (${SNR_MODULE_DIR}) lies too far from CMAKE_INSTALL_BINDIR for the build tree")
endif()

# The static libraries a module links, ours and those they link in turn, built
# position-independent: the module carries its own copies of them. Calls within a library stay
# direct (-fno-semantic-interposition, snr_flags), so the programs' code is as before.
function(snr_position_independent target)
  get_target_property(libraries ${target} LINK_LIBRARIES)
  foreach(library IN LISTS libraries)
    if(TARGET ${library})
      get_target_property(type ${library} TYPE)
      get_target_property(imported ${library} IMPORTED)
      if(type STREQUAL "STATIC_LIBRARY" AND NOT imported)
        set_target_properties(${library} PROPERTIES POSITION_INDEPENDENT_CODE ON)
        snr_position_independent(${library})
      endif()
    endif()
  endforeach()
endfunction()

# A module: NAME.so, built from SOURCES and linking LIBRARIES, which stay private to it
# (hidden, and bound within it), into the build tree's module folder and installed in
# SNR_MODULE_DIR. Its entry, snr_maps_module, names the version it was built with.
function(snr_module target name)
  cmake_parse_arguments(M "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_library(${target} MODULE ${M_SOURCES})
  target_link_libraries(${target} PRIVATE snr_flags ${M_LIBRARIES})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL -Wl,-Bsymbolic)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name} AUTOMOC OFF CXX_VISIBILITY_PRESET hidden
                                             VISIBILITY_INLINES_HIDDEN ON LIBRARY_OUTPUT_DIRECTORY ${SNR_MODULES_IN_BUILD})
  snr_position_independent(${target})
  install(TARGETS ${target} LIBRARY DESTINATION ${SNR_MODULE_DIR})
  set_property(GLOBAL APPEND PROPERTY SNR_INSTALLED_MODULES ${SNR_MODULE_DIR}/${name}.so)
endfunction()
