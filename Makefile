# Front door: `make test` checks the layers, then builds and runs every test twice (optimised, then
# under AddressSanitizer + UndefinedBehaviorSanitizer); `make bench` runs the benchmarks;
# `make run` serves the module in the stand-in host (SESSION=FILE, or - to type by hand).
JOBS ?= $(shell nproc)
BUILD ?= build
SAN_BUILD ?= build-sanitize
BENCH_BUILD ?= build-bench
TSAN_BUILD ?= build-tsan
WIN_BUILD ?= build-windows
MINGW_CXX ?= x86_64-w64-mingw32-g++-posix

.PHONY: deps check-layers test test-release test-sanitize test-tsan test-windows bench run format clean

deps:
	@./tools/install-deps.sh

# Folders of src/ include only their own layer and those below (README, Layout).
check-layers:
	@./tools/check-layers.sh

test: deps check-layers test-release test-sanitize

test-release:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLEX_BENCH=OFF
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(SAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DQUILLEX_SANITIZE=ON -DQUILLEX_BENCH=OFF
	cmake --build $(SAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

# The host object's threads (compile worker, scheduler hand-over) under ThreadSanitizer.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DQUILLEX_TSAN=ON -DQUILLEX_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target quillex_host_tests
	cd $(TSAN_BUILD)/bin && TSAN_OPTIONS=halt_on_error=1 ./quillex_host_tests

# The Windows build: cross-compiled with mingw-w64 in Release, each test
# executable run once under wine with a prefix inside the build folder. The
# corpus files come from the native build. The cross compiler and wine are
# installed when missing (as root); where they cannot be, a developer's run is
# skipped with one line, while under CI (the CI variable set) it fails with that
# line, so a green CI always means the DLL was built and its tests ran. The prefix
# is made and one server started before the tests run in parallel (wine processes
# that start a new prefix's server together can fail); a server left by an earlier
# run is stopped first, and this run's is stopped at the end, with its services.
test-windows: deps
	@if ! command -v $(MINGW_CXX) >/dev/null 2>&1 || ! command -v wine >/dev/null 2>&1; then \
	  if [ -n "$${CI:-}" ]; then ./tools/install-deps.sh windows || true; \
	  else ./tools/install-deps.sh windows >/dev/null 2>&1 || true; fi; fi; \
	missing=""; \
	if ! command -v $(MINGW_CXX) >/dev/null 2>&1; then \
	  missing="$(MINGW_CXX) not found (apt-get install g++-mingw-w64-x86-64-posix wine wine64)"; \
	elif ! command -v wine >/dev/null 2>&1 || ! command -v wineserver >/dev/null 2>&1; then \
	  missing="wine not found (apt-get install wine wine64)"; fi; \
	if [ -n "$$missing" ]; then \
	  if [ -n "$${CI:-}" ]; then echo "Windows tests cannot run under CI: $$missing" >&2; exit 1; fi; \
	  echo "Windows tests skipped: $$missing"; exit 0; fi; \
	set -e; \
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null; \
	cmake --build $(BUILD) -j $(JOBS) --target quillex_corpus_files; \
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DQUILLEX_BENCH=OFF \
	  -DQUILLEX_NATIVE_BIN=$(abspath $(BUILD))/bin; \
	cmake --build $(WIN_BUILD) -j $(JOBS); \
	mkdir -p $(abspath $(WIN_BUILD))/wineprefix; \
	export WINEPREFIX=$(abspath $(WIN_BUILD))/wineprefix WINEDEBUG=-all; \
	wineserver -k >/dev/null 2>&1 || true; \
	wineserver -p 30; \
	wine wineboot --init >/dev/null 2>&1; \
	status=0; ctest --test-dir $(WIN_BUILD) --output-on-failure --timeout 600 -j $(JOBS) || status=$$?; \
	wineserver -k >/dev/null 2>&1 || true; \
	exit $$status

SESSION ?= examples/basic.session

run: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS) --target quillex vessa-host
	@scratch=$$(mktemp -d); trap 'rm -rf "$$scratch"' EXIT; \
	if [ "$(SESSION)" = "-" ]; then \
	  $(BUILD)/bin/vessa-host --module $(BUILD)/bin/quillex.so --appdata "$$scratch"; \
	else \
	  $(BUILD)/bin/vessa-host --module $(BUILD)/bin/quillex.so --appdata "$$scratch" < "$(SESSION)"; \
	fi

bench: deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target quillex_bench
	cd $(BENCH_BUILD)/bin && ./quillex_bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(BENCH_BUILD) $(TSAN_BUILD) $(WIN_BUILD)
