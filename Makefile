# Set-up and everyday commands. Everything builds out of tree under build*/.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD := build
ASAN_BUILD := build-asan
TSAN_BUILD := build-tsan
BENCH_BUILD := build-bench
WINDOWS_BUILD := build-windows
# The Windows programs are cross-built with MinGW-w64 and tested under Wine.
MINGW_CXX := x86_64-w64-mingw32-g++-posix
WINDOWS_TOOLS := $(shell command -v $(MINGW_CXX) >/dev/null 2>&1 && command -v wine >/dev/null 2>&1 && echo yes)

.PHONY: all build run test unit-test asan-test tsan-test windows windows-test dist bench benchmark \
	windows-benchmark check-search compare clean format

all: build

build:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) -- --no-print-directory

run: build
	@./$(BUILD)/pbrain-tamlo

# Every test in Release, then the unit tests again under the sanitizers (the
# searches on threads under ThreadSanitizer), then the Windows programs under
# Wine when the cross compiler and Wine are installed.
test: unit-test asan-test tsan-test windows-test

unit-test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan-test:
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTAMLO_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS) -- --no-print-directory
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# Two searches on two threads, each with its own worker and table: any state
# they still share is a data race. Only that test program is built.
tsan-test:
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMLO_TSAN=ON -DTAMLO_LTO=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target tamlo_parallel_tests -- --no-print-directory
	@TSAN_OPTIONS=halt_on_error=1 ./$(TSAN_BUILD)/tests/tamlo_parallel_tests

# build-windows/pbrain-tamlo.exe and tamlo.dll. The native test program is named
# so that the Windows tests can rerun its transcripts against the .exe.
windows:
	@cmake --no-warn-unused-cli -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
		-DCMAKE_BUILD_TYPE=Release -DTAMLO_NATIVE_TESTS=$(CURDIR)/$(BUILD)/tests/tamlo_tests >/dev/null
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS) -- --no-print-directory

# dist/tamlo-<version>-windows-x64.zip
dist: windows
	@cmake --build $(WINDOWS_BUILD) --target dist -- --no-print-directory

windows-test:
ifeq ($(WINDOWS_TOOLS),yes)
	@$(MAKE) --no-print-directory build dist
	@cd $(WINDOWS_BUILD) && ctest --output-on-failure -j $(JOBS)
else
	@echo "Windows tests skipped: $(MINGW_CXX) or wine is not installed (see README)."
endif

bench:
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTAMLO_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target tamlo_bench
	@./$(BENCH_BUILD)/bench/tamlo_bench

# The search over every stored position, with the build-statistic lines.
benchmark: build
	@start=$$(date +%s%N); \
	printf 'tcbenchmark positions\nend\n' | ./$(BUILD)/pbrain-tamlo | grep -v '^positions/'; \
	end=$$(date +%s%N); echo "elapsed: $$(( (end - start) / 1000000 )) ms"

# The same run by pbrain-tamlo.exe under Wine.
windows-benchmark: windows
	@start=$$(date +%s%N); \
	printf 'tcbenchmark positions\nend\n' | WINEDEBUG=-all WINEPREFIX=$(CURDIR)/$(WINDOWS_BUILD)/wine \
		wine ./$(WINDOWS_BUILD)/pbrain-tamlo.exe | grep -v '^positions'; \
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
	@rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(WINDOWS_BUILD) build-compare dist

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')
