# The Windows program ready to run from one folder: `deploy` lays out
# build-windows/deploy/ with the program, the stand-in gadget and what they
# load (Qt, MinGW's runtime, the platform and style plugins, Qt's Brazilian
# Portuguese texts, the artwork both programs share), and `installer` packs
# that folder with NSIS.
set(ORVANTO_DEPLOY_DIR ${CMAKE_BINARY_DIR}/deploy)

# MinGW's runtime, wherever this compiler keeps it.
set(mingw_runtime)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
    message(FATAL_ERROR "MinGW runtime ${dll} not found by ${CMAKE_CXX_COMPILER}")
  endif()
  get_filename_component(found "${found}" REALPATH)
  list(APPEND mingw_runtime "${found}")
endforeach()

# Qt's own texts (choosers, context menus) as the Linux build loads them,
# from the build machine's Qt translations (Debian qt6-translations-l10n).
find_file(ORVANTO_QTBASE_PT_BR qtbase_pt_BR.qm
          PATHS /usr/share/qt6/translations NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH REQUIRED)

get_filename_component(qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)
set(qt_plugins ${qt_prefix}/plugins)

# Qt looks for its plugins and texts beside the program.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/deploy-files/qt.conf
     CONTENT "[Paths]\nPrefix=.\nPlugins=.\nTranslations=translations\n")

add_custom_target(deploy
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVANTO_DEPLOY_DIR}/platforms ${ORVANTO_DEPLOY_DIR}/styles
          ${ORVANTO_DEPLOY_DIR}/translations
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:orvanto> $<TARGET_FILE:orvanto-gadget>
          $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
          ${mingw_runtime} ${CMAKE_BINARY_DIR}/deploy-files/qt.conf ${ORVANTO_ARTWORK_FILES} ${ORVANTO_DEPLOY_DIR}/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_plugins}/platforms/qwindows.dll ${ORVANTO_DEPLOY_DIR}/platforms/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_plugins}/styles/qwindowsvistastyle.dll
          ${ORVANTO_DEPLOY_DIR}/styles/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ORVANTO_QTBASE_PT_BR} ${ORVANTO_DEPLOY_DIR}/translations/
  # What is shipped carries no symbols (the build folder's copies keep theirs).
  COMMAND ${CMAKE_STRIP} --strip-unneeded ${ORVANTO_DEPLOY_DIR}/orvanto.exe ${ORVANTO_DEPLOY_DIR}/orvanto-gadget.exe
          ${ORVANTO_DEPLOY_DIR}/libstdc++-6.dll ${ORVANTO_DEPLOY_DIR}/libgcc_s_seh-1.dll
          ${ORVANTO_DEPLOY_DIR}/libwinpthread-1.dll
  DEPENDS orvanto orvanto-gadget orvanto_artwork
  COMMENT "Windows program and what it loads in ${ORVANTO_DEPLOY_DIR}"
  VERBATIM)

# The program's icon for Windows (the artwork's sizes in one .ico), in the
# program itself and in its installer.
set(ORVANTO_ICO ${CMAKE_BINARY_DIR}/windows/orvanto.ico)
set(icon_sizes)
foreach(size 16 32 48 256)
  list(APPEND icon_sizes ${PROJECT_SOURCE_DIR}/src/ui/resources/images/icon/orvanto-${size}.png)
endforeach()
find_program(ORVANTO_CONVERT convert REQUIRED)
add_custom_command(OUTPUT ${ORVANTO_ICO}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/windows
  COMMAND ${ORVANTO_CONVERT} ${icon_sizes} ${ORVANTO_ICO}
  DEPENDS ${icon_sizes}
  COMMENT "Windows icon"
  VERBATIM)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/windows/orvanto.rc CONTENT "1 ICON \"${ORVANTO_ICO}\"\n")
target_sources(orvanto PRIVATE ${CMAKE_BINARY_DIR}/windows/orvanto.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/windows/orvanto.rc PROPERTIES OBJECT_DEPENDS ${ORVANTO_ICO})
add_custom_target(orvanto_icon DEPENDS ${ORVANTO_ICO})
add_dependencies(orvanto orvanto_icon)

# The installer. The stand-in goes under each gadget's name of the catalogue.
find_program(ORVANTO_MAKENSIS makensis)
file(STRINGS ${PROJECT_SOURCE_DIR}/src/panel/GadgetCatalogue.h catalogue REGEX "\"[A-Za-z]+\\.exe\"")
set(gadget_copies "")
foreach(line IN LISTS catalogue)
  string(REGEX MATCH "\"([A-Za-z]+\\.exe)\"" _ "${line}")
  string(APPEND gadget_copies
         "CopyFiles /SILENT \"$INSTDIR\\orvanto-gadget.exe\" \"\${GADGETS_DIR}\\${CMAKE_MATCH_1}\"\n")
endforeach()
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/windows/gadgets.nsh CONTENT "${gadget_copies}")
set(ORVANTO_INSTALLER ${CMAKE_BINARY_DIR}/orvanto-${PROJECT_VERSION}-setup.exe)
if(ORVANTO_MAKENSIS)
  add_custom_target(installer
    COMMAND ${ORVANTO_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DDEPLOY=${ORVANTO_DEPLOY_DIR}
            -DGADGETS=${CMAKE_BINARY_DIR}/windows/gadgets.nsh -DICON=${ORVANTO_ICO}
            -DOUTFILE=${ORVANTO_INSTALLER} ${PROJECT_SOURCE_DIR}/packaging/windows/orvanto.nsi
    DEPENDS deploy ${ORVANTO_ICO} ${PROJECT_SOURCE_DIR}/packaging/windows/orvanto.nsi
    COMMENT "Windows installer ${ORVANTO_INSTALLER}"
    VERBATIM)
endif()
