# The two commands of the README, and the pieces they are made of.
BUILD_DIR ?= build
SAN_DIR ?= build-sanitize
JOBS ?= 2
PREFIX ?= /usr/local

.PHONY: run test deps build install install-files test-sanitize check-format bench clean

run: build
	cd examples/demo && ../../$(BUILD_DIR)/zv_rk

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)

deps:
	@bash tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j$(JOBS)

# The program, its desktop entry, icons and manual page under $(PREFIX), staged under $(DESTDIR)
# when that is set (as packagers do).
install: build
	@$(MAKE) --no-print-directory install-files

# The same from the build as it is (the test of the install rules uses this).
install-files:
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# Every test again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(SAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DRK_SANITIZE=ON
	cmake --build $(SAN_DIR) -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(SAN_DIR) --output-on-failure -j$(JOBS)

# The house style (.clang-format) over every C++ file of the program, its tests and benchmarks.
check-format: deps
	git ls-files -z 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' | \
	  xargs -0 clang-format --dry-run -Werror

# Every benchmark, then one table of all their figures with their goals (bench/run.sh). The
# build's own output goes to $(BUILD_DIR)/bench/build.txt, shown when the build fails.
bench:
	@mkdir -p $(BUILD_DIR)/bench
	@$(MAKE) --no-print-directory build >$(BUILD_DIR)/bench/build.txt 2>&1 || \
	  { cat $(BUILD_DIR)/bench/build.txt; exit 1; }
	@bash bench/run.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR)
