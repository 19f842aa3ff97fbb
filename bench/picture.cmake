# Picture decoding: JPEG header load and first paint of a full-HD picture.
pkg_check_modules(RK_BENCH_JPEG REQUIRED IMPORTED_TARGET libjpeg)
rk_bench(bench_picture bench_picture.cpp rk_graphics PkgConfig::RK_BENCH_JPEG)
