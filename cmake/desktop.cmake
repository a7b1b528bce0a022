# The desktop application varnel-vpn (Linux): a GTK 3 window with a WebKitGTK view running the
# interface bundle. Only this target sees GTK and WebKit; the core library stays free of them.

set(desktop_icon_sizes 16 24 32 48 64 128 256)
set(desktop_icon_dir ${CMAKE_BINARY_DIR}/icons)
set(desktop_icons "")
foreach(size IN LISTS desktop_icon_sizes)
  list(APPEND desktop_icons ${desktop_icon_dir}/${size}.png)
endforeach()

# The icon drawn as PNGs from the same drawing as the Windows .ico, then compiled into the program.
add_custom_command(OUTPUT ${desktop_icons}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${desktop_icon_dir}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/make_icon.py --png ${desktop_icon_dir} ${desktop_icon_sizes}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make_icon.py
  COMMENT "Drawing the application's icons")
set(desktop_resource_xml ${CMAKE_BINARY_DIR}/generated/desktop_icons.gresource.xml)
set(desktop_resource_files "")
foreach(size IN LISTS desktop_icon_sizes)
  string(APPEND desktop_resource_files "    <file>${size}.png</file>\n")
endforeach()
file(WRITE ${desktop_resource_xml}
  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gresources>\n  <gresource prefix=\"/org/varnel/vpn/icons\">\n"
  "${desktop_resource_files}  </gresource>\n</gresources>\n")
set(desktop_resource_source ${CMAKE_BINARY_DIR}/generated/desktop_icons.c)
add_custom_command(OUTPUT ${desktop_resource_source}
  COMMAND ${GLIB_COMPILE_RESOURCES} --sourcedir=${desktop_icon_dir} --generate-source --target=${desktop_resource_source}
          ${desktop_resource_xml}
  DEPENDS ${desktop_resource_xml} ${desktop_icons})

file(GLOB desktop_platform_sources CONFIGURE_DEPENDS src/platform/posix/*_gtk.cpp)
add_executable(varnel_desktop src/app/desktop_main.cpp src/app/desktop_app.cpp src/platform/posix/desktop_entry_posix.cpp
               ${desktop_platform_sources}
               ${desktop_resource_source})
set_target_properties(varnel_desktop PROPERTIES OUTPUT_NAME varnel-vpn)
target_link_libraries(varnel_desktop PRIVATE varnel_app PkgConfig::DESKTOP)

# The interface bundle, built from ui/ into the Bundle folder beside the program.
include(cmake/ui_bundle.cmake)
varnel_add_ui_bundle(varnel_ui_bundle ${CMAKE_BINARY_DIR}/Bundle/index.windows.bundle)
add_dependencies(varnel_desktop varnel_ui_bundle)

# Installed as a folder of its own, the bundle beside the program (where it looks for it); the
# commands in bin point there.
include(GNUInstallDirs)
set(VARNEL_BUNDLE_DIR "" CACHE PATH "Folder holding index.windows.bundle and its files, installed as the Bundle folder")
set(desktop_app_dir ${CMAKE_INSTALL_LIBDIR}/varnel-vpn)
install(TARGETS varnel varnel_desktop RUNTIME DESTINATION ${desktop_app_dir})
if(VARNEL_BUNDLE_DIR)
  install(DIRECTORY ${VARNEL_BUNDLE_DIR}/ DESTINATION ${desktop_app_dir}/Bundle)
else()
  install(DIRECTORY DESTINATION ${desktop_app_dir}/Bundle)
  message(STATUS "VARNEL_BUNDLE_DIR is not set: the installed Bundle folder stays empty")
endif()
foreach(program varnel-vpn varnel)
  install(CODE "
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(CREATE_LINK \"../${desktop_app_dir}/${program}\"
         \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\" SYMBOLIC)")
endforeach()
install(FILES packaging/varnel-vpn.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size IN LISTS desktop_icon_sizes)
  install(FILES ${desktop_icon_dir}/${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME varnel-vpn.png)
endforeach()
