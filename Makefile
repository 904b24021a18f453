# Front door: `make test` builds and runs every test twice (optimised, then
# under AddressSanitizer + UndefinedBehaviorSanitizer); `make bench` runs the benchmarks;
# `make run` serves the module in the stand-in host (SESSION=FILE, or - to type by hand).
JOBS ?= $(shell nproc)
BUILD ?= build
SAN_BUILD ?= build-sanitize
BENCH_BUILD ?= build-bench
TSAN_BUILD ?= build-tsan

.PHONY: deps test test-release test-sanitize test-tsan bench run format clean

deps:
	@./tools/install-deps.sh

test: deps test-release test-sanitize

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
	rm -rf $(BUILD) $(SAN_BUILD) $(BENCH_BUILD) $(TSAN_BUILD)
