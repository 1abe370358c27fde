# The window's Windows build (preset `windows-window`): LK24.exe's icon and
# version resource, and the DLLs the programs need beside them.

# The publisher the Debian package names too, until the maker's own is known.
set(LK24_PUBLISHER "Beispiel Funktechnik GmbH")

# Every program lands in bin/, beside the DLLs, so the build folder runs as
# the installed one does.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# The icon, drawn from the packaging's SVG at the sizes Windows picks from
# (the largest kept as PNG inside the .ico, as Windows does since Vista).
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)
set(icon_dir ${CMAKE_BINARY_DIR}/icon)
set(LK24_ICON ${icon_dir}/LK24.ico)
set(svg ${PROJECT_SOURCE_DIR}/packaging/icons/com.example.lk24.svg)
set(draw_icons)
foreach(size 16 24 32 48 256)
  list(APPEND draw_icons COMMAND ${RSVG_CONVERT} --width=${size} --height=${size}
                                 --output=${icon_dir}/${size}.png ${svg})
endforeach()
add_custom_command(OUTPUT ${LK24_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir}
  ${draw_icons}
  COMMAND ${ICOTOOL} --create --output=${LK24_ICON} ${icon_dir}/16.png ${icon_dir}/24.png ${icon_dir}/32.png
          ${icon_dir}/48.png --raw=${icon_dir}/256.png
  DEPENDS ${svg} VERBATIM)
# A target of its own: the programs' folders wait for it (a custom
# command's output is known only in the folder that made it).
add_custom_target(lk24_icon ALL DEPENDS ${LK24_ICON})
set(LK24_WINDOWS_RESOURCE ${CMAKE_BINARY_DIR}/LK24.rc)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/LK24.rc.in ${LK24_WINDOWS_RESOURCE} @ONLY)

# The three runtime DLLs of mingw-w64 that Qt6Core.dll needs; the programs
# use them as well, rather than a second, static copy.
set(LK24_MINGW_RUNTIME)
foreach(dll libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(path "${path}" ABSOLUTE)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "${dll} of the cross compiler is missing")
  endif()
  list(APPEND LK24_MINGW_RUNTIME ${path})
endforeach()

# Qt's German texts for its own dialogs, from Debian's qt6-translations-l10n.
find_file(LK24_QTBASE_DE qtbase_de.qm PATHS /usr/share/qt6/translations NO_CMAKE_FIND_ROOT_PATH REQUIRED)

# What the window needs beside it: where it goes below the program's folder,
# then the files. The test programs take the offscreen platform and Qt Test
# in the build folder only.
set(LK24_WINDOW_RUNTIME
  . $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
    $<TARGET_FILE:Qt6::PrintSupport> ${LK24_MINGW_RUNTIME}
    ${PROJECT_SOURCE_DIR}/packaging/windows/qt.conf
  platforms $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
  styles $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
  translations ${LK24_QTBASE_DE})
set(LK24_TEST_RUNTIME
  . $<TARGET_FILE:Qt6::Test>
  platforms $<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin>)

# lk24_copy_runtime(<target> <list>): copies a list as above beside <target>
# after each build of it.
function(lk24_copy_runtime target)
  set(folder .)
  foreach(item IN LISTS ARGN)
    if(item MATCHES "^[a-z.]+$")
      set(folder ${item})
      add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/${folder})
    else()
      add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${item} $<TARGET_FILE_DIR:${target}>/${folder}/)
    endif()
  endforeach()
endfunction()

function(lk24_deploy_windows_runtime target)
  lk24_copy_runtime(${target} ${LK24_WINDOW_RUNTIME})
endfunction()

# lk24_install_windows_runtime(<destination>): the same list as install rules.
function(lk24_install_windows_runtime destination)
  set(folder .)
  foreach(item IN LISTS LK24_WINDOW_RUNTIME)
    if(item MATCHES "^[a-z.]+$")
      set(folder ${item})
    else()
      install(FILES ${item} DESTINATION ${destination}/${folder})
    endif()
  endforeach()
endfunction()
