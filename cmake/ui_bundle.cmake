# The interface bundle (ui/), built with npm and esbuild.
#
#   include(cmake/ui_bundle.cmake)
#   varnel_add_ui_bundle(TARGET_NAME OUTPUT_FILE)
#
# adds a custom command that writes the minified bundle to OUTPUT_FILE (relative paths are taken in
# the current binary folder) and a target TARGET_NAME that depends on it. The command runs again when
# a file under ui/src, ui/package.json, ui/package-lock.json or the build script changes; it runs
# `npm ci` first when ui/node_modules is missing or older than the lock file.
#
# The same file is the command's script: `cmake -DVARNEL_UI_DIR=... -DVARNEL_NPM=...
# -DVARNEL_UI_OUTPUT=... -P ui_bundle.cmake` installs the packages if needed and builds.

if(CMAKE_SCRIPT_MODE_FILE)
  foreach(required VARNEL_UI_DIR VARNEL_NPM VARNEL_UI_OUTPUT)
    if(NOT DEFINED ${required})
      message(FATAL_ERROR "ui_bundle.cmake: ${required} is not set")
    endif()
  endforeach()
  # npm records what it installed in node_modules/.package-lock.json; a lock file newer than that
  # record means the installed packages no longer match it.
  if("${VARNEL_UI_DIR}/package-lock.json" IS_NEWER_THAN "${VARNEL_UI_DIR}/node_modules/.package-lock.json")
    message(STATUS "Installing the interface's packages (npm ci)")
    execute_process(COMMAND "${VARNEL_NPM}" ci --no-audit --no-fund
                    WORKING_DIRECTORY "${VARNEL_UI_DIR}" RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "npm ci failed in ${VARNEL_UI_DIR} (${result})")
    endif()
  endif()
  execute_process(COMMAND "${VARNEL_NPM}" run --silent build -- --outfile "${VARNEL_UI_OUTPUT}"
                  WORKING_DIRECTORY "${VARNEL_UI_DIR}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Building the interface bundle failed (${result})")
  endif()
  return()
endif()

get_filename_component(VARNEL_UI_DIR "${CMAKE_CURRENT_LIST_DIR}/../ui" ABSOLUTE)
set(VARNEL_UI_BUNDLE_SCRIPT "${CMAKE_CURRENT_LIST_FILE}")

function(varnel_add_ui_bundle target_name output_file)
  find_program(VARNEL_NPM NAMES npm npm.cmd)
  if(NOT VARNEL_NPM)
    message(FATAL_ERROR "varnel_add_ui_bundle: npm is needed to build the interface bundle")
  endif()
  get_filename_component(output "${output_file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${VARNEL_UI_DIR}/src/*")
  file(GLOB manifests CONFIGURE_DEPENDS "${VARNEL_UI_DIR}/package*.json")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" "-DVARNEL_UI_DIR=${VARNEL_UI_DIR}" "-DVARNEL_NPM=${VARNEL_NPM}"
            "-DVARNEL_UI_OUTPUT=${output}" -P "${VARNEL_UI_BUNDLE_SCRIPT}"
    DEPENDS ${sources} ${manifests} "${VARNEL_UI_DIR}/scripts/build.mjs" "${VARNEL_UI_BUNDLE_SCRIPT}"
    COMMENT "Building the interface bundle ${output}"
    VERBATIM)
  add_custom_target(${target_name} DEPENDS "${output}")
endfunction()
