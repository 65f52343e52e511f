# The Windows build's toolchain: MinGW-w64 with posix threads and Qt for
# MinGW-w64 from the user's cache folder, which scripts/windows-qt fills
# (from a prebuilt archive, or by building Qt) the first time.
get_filename_component(_orvanto_repo "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
if(NOT ORVANTO_QT_MINGW_DIR)
  if(DEFINED ENV{ORVANTO_QT_MINGW_DIR})
    set(ORVANTO_QT_MINGW_DIR "$ENV{ORVANTO_QT_MINGW_DIR}")
  elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(ORVANTO_QT_MINGW_DIR "$ENV{XDG_CACHE_HOME}/orvanto/qt6.4.2-mingw64")
  else()
    set(ORVANTO_QT_MINGW_DIR "$ENV{HOME}/.cache/orvanto/qt6.4.2-mingw64")
  endif()
endif()
set(ORVANTO_QT_MINGW_DIR "${ORVANTO_QT_MINGW_DIR}" CACHE PATH "Qt for MinGW-w64 the Windows build uses")
# Checks made while configuring (try_compile) see this file again: they
# only need the folder, which is there by then.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORVANTO_QT_MINGW_DIR)
if(NOT EXISTS "${ORVANTO_QT_MINGW_DIR}/toolchain.cmake")
  message(STATUS "Preparing Qt for MinGW-w64 in ${ORVANTO_QT_MINGW_DIR}")
  execute_process(COMMAND "${_orvanto_repo}/scripts/windows-qt" "${ORVANTO_QT_MINGW_DIR}"
                  RESULT_VARIABLE _orvanto_qt_result)
  if(NOT _orvanto_qt_result EQUAL 0)
    message(FATAL_ERROR "scripts/windows-qt could not prepare ${ORVANTO_QT_MINGW_DIR}")
  endif()
endif()
include("${ORVANTO_QT_MINGW_DIR}/toolchain.cmake")
