rk_bench(bench_window bench_window.cpp rk_ui rk_picture rk_timing rk_sound rk_sdl)
target_compile_definitions(bench_window PRIVATE RK_DEMO_DIR="${PROJECT_SOURCE_DIR}/examples/demo")
