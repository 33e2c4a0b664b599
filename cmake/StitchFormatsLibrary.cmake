# The format engine as an installable library: the front door's load entry
# and the vocabulary it speaks, the static libraries behind them, a
# pkg-config file and a CMake package with the imported target
# QelStitchFormats::QelStitchFormats. Installed as the component
# "qel-stitchformats" (and with everything else by a plain cmake --install).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(qel_library_component qel-stitchformats)
set(qel_library_include_dir ${CMAKE_INSTALL_INCLUDEDIR}/qel-stitchformats)
set(qel_library_lib_dir ${CMAKE_INSTALL_LIBDIR}/qel-stitchformats)
set(qel_library_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/QelStitchFormats)
# Link order of the static libraries: each after those that use it.
set(qel_library_targets DesignFiles Vp3 StitchFormats TvkVipCompressor Fundamentals)

# The public headers: the load entry and everything it includes, no more.
set(qel_public_headers
  DesignFiles/DesignFiles.h
  StitchFormats/FormatVocabulary.h
  StitchFormats/StitchFormats.h
  Fundamentals/AbsStitch.h
  Fundamentals/ArchiverStream.h
  Fundamentals/ColourData.h
  Fundamentals/CommonTypes.h
  Fundamentals/Design.h
  Fundamentals/Iterator.h
  Fundamentals/StatusTable.h)

add_library(QelStitchFormats INTERFACE)
target_link_libraries(QelStitchFormats INTERFACE DesignFiles)
target_include_directories(QelStitchFormats INTERFACE $<INSTALL_INTERFACE:${qel_library_include_dir}>)
target_compile_features(QelStitchFormats INTERFACE cxx_std_20)

# Each public header compiles on its own, warnings as errors: a header that
# leans on an include it does not make, or warns, fails the build.
set(qel_header_checks)
foreach(header IN LISTS qel_public_headers)
  string(MAKE_C_IDENTIFIER ${header} check_name)
  set(check_source ${CMAKE_CURRENT_BINARY_DIR}/public-header-checks/${check_name}.cpp)
  file(CONFIGURE OUTPUT ${check_source} CONTENT "#include \"${header}\"\n")
  list(APPEND qel_header_checks ${check_source})
endforeach()
add_library(PublicHeaderChecks OBJECT ${qel_header_checks})
target_include_directories(PublicHeaderChecks PRIVATE ${PROJECT_SOURCE_DIR}/CommonCode)
target_compile_options(PublicHeaderChecks PRIVATE -Wall -Wextra -Werror)

foreach(header IN LISTS qel_public_headers)
  get_filename_component(header_dir ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/CommonCode/${header}
          DESTINATION ${qel_library_include_dir}/${header_dir} COMPONENT ${qel_library_component})
endforeach()

install(TARGETS ${qel_library_targets} QelStitchFormats EXPORT QelStitchFormatsTargets
        ARCHIVE DESTINATION ${qel_library_lib_dir} COMPONENT ${qel_library_component})
install(EXPORT QelStitchFormatsTargets NAMESPACE QelStitchFormats:: DESTINATION ${qel_library_cmake_dir}
        COMPONENT ${qel_library_component})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/QelStitchFormatsConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/QelStitchFormatsConfig.cmake
                              INSTALL_DESTINATION ${qel_library_cmake_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/QelStitchFormatsConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/QelStitchFormatsConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/QelStitchFormatsConfigVersion.cmake
        DESTINATION ${qel_library_cmake_dir} COMPONENT ${qel_library_component})

# The pkg-config file finds its prefix from where it is installed, so the
# tree can be installed anywhere (cmake --install --prefix).
file(RELATIVE_PATH qel_pc_to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" qel_pc_to_prefix "${qel_pc_to_prefix}")
set(qel_pc_libs "")
set(qel_pc_dl_flag "")
if(CMAKE_DL_LIBS)
  set(qel_pc_dl_flag -l${CMAKE_DL_LIBS})
endif()
foreach(target IN LISTS qel_library_targets)
  string(APPEND qel_pc_libs " -l${target}")
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/qel-stitchformats.pc.in ${CMAKE_CURRENT_BINARY_DIR}/qel-stitchformats.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qel-stitchformats.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ${qel_library_component})
