# Install rules: `cmake --install <build> --prefix <dir>` lays out
#
#   bin/dravik                          the host program
#   bin/modules/<GUID>.so               the procedure-call channel module
#   lib/libDravik.so, lib/libVantic.so, lib/<float channel GUID>.so
#   include/hostapi/*.h                 what channel modules require of a host
#   include/host/engine/*.h             the channel factory and module loader
#   lib/cmake/VanticPrcCall/            the package config for find_package
#
# The libraries go to lib/ (not a multiarch folder) because every file finds
# the others through RUNPATHs relative to itself ($ORIGIN/../lib from bin/,
# $ORIGIN/../../lib from bin/modules/). A host project then writes
#
#   find_package(VanticPrcCall 1.0 REQUIRED)
#   target_link_libraries(app PRIVATE VanticPrcCall::Dravik
#                                     VanticPrcCall::FloatChannel
#                                     VanticPrcCall::Vantic)
#
# and finds the module folder in VanticPrcCall_MODULES_DIR.
include(CMakePackageConfigHelpers)

set(VPC_PACKAGE_NAME VanticPrcCall)
set(VPC_INSTALL_CMAKEDIR "lib/cmake/${VPC_PACKAGE_NAME}")

set_target_properties(vpc_hostapi PROPERTIES EXPORT_NAME HostApi)
set_target_properties(dravik_engine PROPERTIES EXPORT_NAME Dravik)
set_target_properties(float_channel PROPERTIES EXPORT_NAME FloatChannel)
set_target_properties(vantic PROPERTIES EXPORT_NAME Vantic)

install(TARGETS vpc_hostapi dravik_engine float_channel vantic
  EXPORT VanticPrcCallTargets
  LIBRARY DESTINATION lib COMPONENT runtime
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS vpc_prccall_module
  LIBRARY DESTINATION bin/modules COMPONENT runtime)
if(TARGET dravik)
  install(TARGETS dravik RUNTIME DESTINATION bin COMPONENT runtime)
endif()

install(DIRECTORY "${PROJECT_SOURCE_DIR}/hostapi/"
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/hostapi" COMPONENT development
  FILES_MATCHING PATTERN "*.h")
install(FILES
  "${PROJECT_SOURCE_DIR}/host/engine/channel_factory.h"
  "${PROJECT_SOURCE_DIR}/host/engine/module_loader.h"
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/host/engine" COMPONENT development)

install(EXPORT VanticPrcCallTargets
  NAMESPACE ${VPC_PACKAGE_NAME}::
  DESTINATION "${VPC_INSTALL_CMAKEDIR}" COMPONENT development)
configure_package_config_file(
  "${PROJECT_SOURCE_DIR}/cmake/VanticPrcCallConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/${VPC_PACKAGE_NAME}Config.cmake"
  INSTALL_DESTINATION "${VPC_INSTALL_CMAKEDIR}")
write_basic_package_version_file(
  "${PROJECT_BINARY_DIR}/${VPC_PACKAGE_NAME}ConfigVersion.cmake"
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES
  "${PROJECT_BINARY_DIR}/${VPC_PACKAGE_NAME}Config.cmake"
  "${PROJECT_BINARY_DIR}/${VPC_PACKAGE_NAME}ConfigVersion.cmake"
  DESTINATION "${VPC_INSTALL_CMAKEDIR}" COMPONENT development)
