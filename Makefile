# The two commands a person needs:
#   make demo   installs what is missing, builds, and runs the demo
#   make test   installs what is missing, builds, and runs every test
# Further targets: test-sanitize (the suite under ASan + UBSan), fuzz, bench.
# Installing: make install [PREFIX=/usr/local] (DESTDIR is honoured), and
# make deb for the Debian package, checked with lintian.

BUILD       ?= build
ASAN_BUILD  ?= build-asan
FUZZ_BUILD  ?= build-fuzz
BENCH_BUILD ?= build-bench
JOBS        ?= 2
FUZZ_SECONDS ?= 60
DEB_BUILD   ?= build-deb
TSAN_BUILD  ?= build-tsan
WIN_BUILD   ?= build-windows
PREFIX      ?= /usr/local

CMAKE_FLAGS := -G Ninja -DKV_WERROR=ON

.PHONY: deps build demo test test-sanitize test-tsan fuzz fuzz-build bench clean format install deb
.PHONY: windows test-windows deps-windows

deps:
	@bash scripts/install-deps.sh

deps-windows:
	@bash scripts/install-deps.sh --windows

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@$(BUILD)/bin/kvhost demo

# The suites run on the headless screen even where a display is open (a
# desktop): the GTK suites ask for real windows themselves, on a virtual
# server of their own.
test: build
	@KV_UI=headless ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	@cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@KV_UI=headless ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The threaded code under ThreadSanitizer: only the platform, kvcomm and
# their tests are built, and only those tests run.
TSAN_TARGETS ?= kvplatform kvcomm comm_net_tests platform_ui_tests comm_rpc_tests kvrpctest \
                comm_command_tests kvmapi kvhost_exports
TSAN_TESTS   ?= ^comm_(net|rpc|command)\.|^platform_ui\.
test-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DKV_TSAN=ON >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TARGETS)
	@TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

fuzz-build: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKV_FUZZ=ON -DKV_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Runs every fuzz target for FUZZ_SECONDS each from its seed corpus.
fuzz: fuzz-build
	@bash scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

bench: deps
	@cmake -S . -B $(BENCH_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DKV_BENCH=ON -DKV_TESTS=OFF >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@bash bench/run-all.sh $(BENCH_BUILD)

install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

deb: deps
	@bash scripts/make-deb.sh $(DEB_BUILD) $(JOBS)

# The libraries as 32-bit Windows DLLs (mingw-w64), and their tests under
# Wine (headless, one wineserver for the run). The tests that compare files
# of both targets run the Linux build's writer too, so test-windows builds
# that first.
windows: deps deps-windows
	@cmake -S . -B $(WIN_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake -DKV_LINUX_BUILD=$(abspath $(BUILD)) >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS)

test-windows: build windows
	@bash scripts/run-wine-tests.sh $(WIN_BUILD) -j $(JOBS)

format:
	@git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(DEB_BUILD) $(TSAN_BUILD) $(WIN_BUILD)
