# The two commands that do everything on a fresh Debian 12 machine: `make run` and `make test`.
# Each phase (install, configure, build, test) says how long it took.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
TIMED      := $(CURDIR)/scripts/timed.sh

.PHONY: all deps build build-asan run test format format-check format-gate bench package screenshot clean

all: build

deps:
	@$(TIMED) install scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	@$(TIMED) "configure, plain tree" cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_BUILD)/build.ninja: | deps
	@$(TIMED) "configure, sanitizer tree" cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOZELO_SANITIZE=ON

build: deps $(BUILD)/build.ninja
	@$(TIMED) "build, plain tree" cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN_BUILD)/build.ninja
	@$(TIMED) "build, sanitizer tree" cmake --build $(ASAN_BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)

# The format check comes first, since it fails fast; the sanitizer tree's tests run before the plain
# tree's, so that the last lines are the summary of the plain build.
test: format-gate build build-asan
	@cd $(ASAN_BUILD) && $(TIMED) "test, sanitizer tree" env ASAN_OPTIONS=detect_leaks=1 \
		ctest --output-on-failure -j $(JOBS)
	@cd $(BUILD) && $(TIMED) "test, plain tree" ctest --output-on-failure -j $(JOBS)

# The sources listed in .format-checked.
format-gate: deps
	@$(TIMED) "format check" scripts/format-check.sh

# clang-format over every C++ source of the tree (.clang-format), and the check of them all.
format: deps
	git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format -i

format-check: deps
	@scripts/format-check.sh .

bench: build
	@scripts/bench.sh $(BUILD)

package: build
	cmake --build $(BUILD) --target package

screenshot: build
	@scripts/install-deps.sh screenshot
	@scripts/screenshot.sh $(BUILD) docs/screenshot.png

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
