# Tamber: the two entry points of the README, plus the developer's helpers.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
WERROR     ?= $(if $(CI),ON,OFF)
CMAKE_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBER_WERROR=$(WERROR)

.PHONY: deps configure build run test tidy sanitize bench fuzz format format-check clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)
	@ln -sf $(BUILD)/compile_commands.json compile_commands.json

run: build
	./$(BUILD)/tamber

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# clang-tidy over the program's sources (.clang-tidy: the cognitive-complexity limit).
tidy: build
	@bash scripts/tidy.sh $(BUILD)

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	@cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) -DTAMBER_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

bench: deps
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBER_BENCH=ON -DTAMBER_TESTS=OFF -DTAMBER_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@echo "Benchmarks built in $(BENCH_BUILD)/bench; run them one by one."

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBER_FUZZ=ON -DTAMBER_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

SOURCES = $(shell git ls-files -co --exclude-standard -- '*.cpp' '*.h')
format:
	@clang-format -i $(SOURCES)

format-check:
	@clang-format --dry-run --Werror $(SOURCES)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)
