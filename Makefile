# The two commands of the README, and the pieces they are made of.
BUILD_DIR ?= build
SAN_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
JOBS ?= 2
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60
SOAK_SECONDS ?= 600

WEB_DIR ?= build-web

.PHONY: run test deps configure player build package install install-files test-sanitize check-format bench fuzz soak clean \
  web test-web

# Only the player, not the tests and benchmarks: the demo shows in a third of the time.
run: player
	cd examples/demo && ../../$(BUILD_DIR)/zv_rk

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)

deps:
	@bash tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

player: configure
	cmake --build $(BUILD_DIR) -j$(JOBS) --target zv_rk

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

# The Debian package $(BUILD_DIR)/zv-rk_VERSION_ARCH.deb, from the install rules: only what they
# install is built.
package: configure
	cmake --build $(BUILD_DIR) -j$(JOBS) --target zv_rk rk_install_data
	cd $(BUILD_DIR) && cpack -G DEB

# The program, its desktop entry, AppStream data, icons, manual page and demo story under
# $(PREFIX), staged under $(DESTDIR) when that is set (as packagers do).
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

# The house style (.clang-format) over every C++ file of the program, its tests, benchmarks, fuzz
# targets and soak.
check-format: deps
	git ls-files -z 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' \
	  'soak/*.cpp' 'soak/*.h' | \
	  xargs -0 clang-format --dry-run -Werror

# Every benchmark, then one table of all their figures with their goals (bench/run.sh). The
# build's own output goes to $(BUILD_DIR)/bench/build.txt, shown when the build fails.
bench:
	@mkdir -p $(BUILD_DIR)/bench
	@$(MAKE) --no-print-directory build >$(BUILD_DIR)/bench/build.txt 2>&1 || \
	  { cat $(BUILD_DIR)/bench/build.txt; exit 1; }
	@bash bench/run.sh $(BUILD_DIR)

# Every fuzz target of fuzz/ for FUZZ_SECONDS each, built with clang's libFuzzer under
# AddressSanitizer and UndefinedBehaviorSanitizer; the corpus grows in $(FUZZ_DIR) from run to run.
fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRK_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_DIR) -j$(JOBS) --target fuzz_targets
	bash fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# The demo story played by clicks for SOAK_SECONDS; fails when memory or open files grow.
soak: build
	$(BUILD_DIR)/soak/zv_rk_soak examples/demo $(SOAK_SECONDS)

# The web page in $(WEB_DIR)/site/: the libraries built once from Debian's sources
# (tools/web-deps.sh, cached under XDG_CACHE_HOME), then the player by emcc.
web:
	@bash tools/install-deps.sh web
	@prefixes="$$(bash tools/web-deps.sh)" && \
	  export NODE_PATH=/usr/share/nodejs && \
	  nice -n 19 emcmake cmake -S . -B $(WEB_DIR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_FIND_ROOT_PATH="$$prefixes" >/dev/null && \
	  nice -n 19 cmake --build $(WEB_DIR) -j$(JOBS) --target rk_web_page

# The page in headless Chromium (tests/web/): the demo, its music, saves, stories opened or named
# in the address, a metafile.
test-web: web
	bash tests/web/run.sh $(WEB_DIR)

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR) $(FUZZ_DIR) $(WEB_DIR)
