rk_bench(bench_sound bench_sound.cpp rk_timing)
