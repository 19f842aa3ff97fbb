# MyCg: loads picture files into the picture control through the decoders of rk_graphics.
add_library(rk_picture STATIC ${CMAKE_CURRENT_LIST_DIR}/MyCg.cpp)
target_include_directories(rk_picture PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(rk_picture PRIVATE ${RK_WARNINGS})
target_link_libraries(rk_picture PUBLIC rk_graphics rk_platform)
