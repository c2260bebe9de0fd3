# What is shipped, and its two packages (cpack, or scripts/package):
#   framelark-<version>-win64.zip    runs from wherever it is unpacked
#   framelark-<version>-setup.exe    installs per machine into Program Files, with an uninstaller
framelark_version_resource(framelark "Framelark screen recorder")
framelark_version_resource(hook "Framelark mouse hook")
framelark_version_resource(hookkey "Framelark keyboard hook")

install(TARGETS framelark hook hookkey RUNTIME DESTINATION .)
# help.chm and the help pages are installed by help/CMakeLists.txt.

set(CPACK_PACKAGE_NAME "Framelark")
set(CPACK_PACKAGE_VENDOR "${FRAMELARK_PUBLISHER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Records the screen into AVI movies")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Framelark")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Framelark")
set(CPACK_PACKAGE_EXECUTABLES framelark "Framelark")
set(CPACK_STRIP_FILES TRUE)
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/FramelarkCPackNames.cmake)
# Starts with CPACK_ to reach the per-generator names.
set(CPACK_FRAMELARK_FILE_STEM "framelark-${PROJECT_VERSION}")

set(icon ${PROJECT_SOURCE_DIR}/src/resources/images/128_framelark.ico)
# Version resource, 64-bit stubs, Start-menu folder and the finish page: cmake/framelark_setup.nsh.
set(CPACK_NSIS_DEFINES "!define FRAMELARK_VERSION ${PROJECT_VERSION}
  !define FRAMELARK_PUBLISHER '${FRAMELARK_PUBLISHER}'
  !include '${CMAKE_CURRENT_LIST_DIR}/framelark_setup.nsh'")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "Framelark ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "Framelark")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
set(CPACK_NSIS_MUI_ICON ${icon})
set(CPACK_NSIS_MUI_UNIICON ${icon})
set(CPACK_NSIS_INSTALLED_ICON_NAME "framelark.exe")
set(CPACK_NSIS_URL_INFO_ABOUT "https://framelark.example/")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The list of installed programs shows the size (KB) of what the core section installed.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  SectionGetSize 0 $0
  WriteRegDWORD SHCTX 'Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Framelark' 'EstimatedSize' $0")
include(CPack)
