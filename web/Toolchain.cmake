# What the web page's build needs before the project's own packages are looked for: the stand-ins
# for what the page has no library of (fontconfig, the settings file's reader), the command-line
# parser's headers copied beside the build (the host's include folder must not reach emcc), and
# C++ exceptions, which emcc leaves off unless asked.
set(RK_WEB_INCLUDE ${PROJECT_SOURCE_DIR}/src/platform/web/include)
set(RK_WEB_PC ${CMAKE_BINARY_DIR}/web-pkgconfig)
file(MAKE_DIRECTORY ${RK_WEB_PC})
foreach(package fontconfig inih)
  file(WRITE ${RK_WEB_PC}/${package}.pc
       "Name: ${package}\nDescription: the web page's stand-in\nVersion: 0\nCflags: -I${RK_WEB_INCLUDE}\nLibs:\n")
endforeach()
# pkg-config looks only in the stand-ins and the prefixes of the page's libraries
# (CMAKE_FIND_ROOT_PATH), never in the host's own folders.
set(RK_WEB_PC_PATH ${RK_WEB_PC})
foreach(root ${CMAKE_FIND_ROOT_PATH})
  if(IS_DIRECTORY ${root}/lib/pkgconfig)
    string(APPEND RK_WEB_PC_PATH ":${root}/lib/pkgconfig")
  endif()
endforeach()
set(ENV{PKG_CONFIG_LIBDIR} "${RK_WEB_PC_PATH}")
set(ENV{PKG_CONFIG_PATH} "")
# Every library is static: each package brings the libraries it needs itself.
file(WRITE ${RK_WEB_PC}/pkg-config-static "#!/bin/sh\nexec pkg-config --static \"$@\"\n")
file(CHMOD ${RK_WEB_PC}/pkg-config-static PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
     WORLD_READ WORLD_EXECUTE)
set(PKG_CONFIG_EXECUTABLE ${RK_WEB_PC}/pkg-config-static CACHE FILEPATH "" FORCE)

set(RK_WEB_CLI11 ${CMAKE_BINARY_DIR}/web-cli11)
file(COPY /usr/include/CLI DESTINATION ${RK_WEB_CLI11}/include)
file(WRITE ${RK_WEB_CLI11}/CLI11Config.cmake
     "add_library(CLI11::CLI11 INTERFACE IMPORTED)\n"
     "set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${RK_WEB_CLI11}/include)\n")
set(CLI11_DIR ${RK_WEB_CLI11} CACHE PATH "" FORCE)

add_compile_options(-fexceptions)
add_link_options(-fexceptions)
