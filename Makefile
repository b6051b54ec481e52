# The two commands of the README: `make run` and `make test`. Both install what is missing.
BUILD ?= build
JOBS ?= $(shell nproc)
WERROR := $(if $(CI),ON,OFF)

.PHONY: run cli-tour screenshot package test deps build test-asan test-tsan fuzz bench clean

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZV_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run $(BUILD)

# The command-line tool's tour, and the README's screenshot drawn by the program itself.
cli-tour: build
	@scripts/cli-tour $(BUILD)

screenshot: build
	@scripts/screenshot $(BUILD)

# The Debian package (CPack), written into the build folder.
package: build
	@cmake --build $(BUILD) --target package

test: build
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 600
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(TEST_FUZZ_SECONDS)

# `make test` gives each fuzzer a short run; `make fuzz` a longer one.
TEST_FUZZ_SECONDS ?= 10
FUZZ_SECONDS ?= 60
fuzz: deps
	@cmake --preset fuzz -DZV_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	@cmake --build build-fuzz --target zv_fuzzers -j $(JOBS)
	@cd build-fuzz && ctest -j $(JOBS) -L fuzz --output-on-failure

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ctest -j $(JOBS) --output-on-failure --timeout 900

test-tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	@cd build-tsan && ctest -j $(JOBS) --output-on-failure --timeout 900

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

clean:
	rm -rf build build-asan build-tsan build-fuzz
