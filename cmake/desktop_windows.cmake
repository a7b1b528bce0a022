# VarnelVPN.exe, the desktop application on Windows: a GUI-subsystem program (wWinMain) that runs as
# the invoker, with icon group 1008 for its window and the tray. varnel.exe stays the console tool.
# No web engine can be had for this build, so its window shows a text where the interface would be;
# the interface bundle is built beside it all the same, where a web view would load it.

add_executable(varnel_desktop WIN32 src/app/desktop_main.cpp src/app/desktop_app.cpp
               src/platform/win32/desktop_entry_win32.cpp src/app/resources/varnel_vpn.rc)
set_target_properties(varnel_desktop PROPERTIES OUTPUT_NAME VarnelVPN)
# The wide entry point: the C runtime starts wWinMain rather than WinMain.
target_link_options(varnel_desktop PRIVATE -municode)
target_link_libraries(varnel_desktop PRIVATE varnel_app)

include(cmake/ui_bundle.cmake)
varnel_add_ui_bundle(varnel_ui_bundle ${CMAKE_BINARY_DIR}/Bundle/index.windows.bundle)
add_dependencies(varnel_desktop varnel_ui_bundle)
