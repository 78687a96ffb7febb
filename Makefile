# Shortcuts for developers. The README's commands, ./vantrel.sh run and ./vantrel.sh test, need
# no make; `make run`, `make test` and `make demo` call them. `make package` installs only what
# packaging needs; the other targets install every package the project uses first
# (scripts/install-deps.sh).
.PHONY: deps build run test demo asan fuzz bench package screenshots mutants format clean

JOBS ?= 2

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake --preset dev >/dev/null
	@cmake --build --preset dev -j $(JOBS)

run:
	./vantrel.sh run

test:
	JOBS=$(JOBS) ./vantrel.sh test

demo:
	./vantrel.sh demo

asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=print_stacktrace=1 \
	  ./scripts/with-sound-server.sh ctest --preset asan -j $(JOBS) --repeat until-pass:2

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	./scripts/run-fuzzers.sh build/fuzz/fuzz $(or $(FUZZ_SECONDS),20)

bench: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)
	./scripts/with-sound-server.sh ./scripts/run-benchmarks.sh build/release

# Installs only what packaging needs and builds only what the package holds.
package:
	./scripts/package.sh

screenshots: build
	./scripts/screenshots.sh

# Breaks the code in the ways listed in the tool and expects a test to catch each (slow).
mutants: deps
	./tools/mutation-check.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
