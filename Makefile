# Set-up and everyday commands. Everything builds out of tree under build*/.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD := build
ASAN_BUILD := build-asan
BENCH_BUILD := build-bench

.PHONY: all build run test unit-test asan-test bench benchmark check-search compare clean format

all: build

build:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) -- --no-print-directory

run: build
	@./$(BUILD)/pbrain-tamlo

# Every test in Release, then the unit tests again under the sanitizers.
test: unit-test asan-test

unit-test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan-test:
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTAMLO_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS) -- --no-print-directory
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

bench:
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTAMLO_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target tamlo_bench
	@./$(BENCH_BUILD)/bench/tamlo_bench

# The search over every stored position, with the build-statistic lines.
benchmark: build
	@start=$$(date +%s%N); \
	printf 'tcbenchmark positions\nend\n' | ./$(BUILD)/pbrain-tamlo | grep -v '^positions/'; \
	end=$$(date +%s%N); echo "elapsed: $$(( (end - start) / 1000000 )) ms"

# The search must stay what tools/searchcheck.txt records (speed work changes
# how fast, never what); `python3 tools/searchcheck.py --record` after a change
# of behaviour on purpose.
check-search: build
	@python3 tools/searchcheck.py $(BUILD)

# Old against new: `make compare OLD=<revision> [NEW=<revision>]` (NEW defaults
# to the working tree); bench and benchmark figures side by side, median of 3.
OLD ?= main
compare:
	@python3 tools/compare.py $(OLD) $(NEW)

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) build-compare

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')
