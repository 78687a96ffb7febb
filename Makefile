# The everyday commands. `make run` and `make test` work on a fresh Debian 12 machine: both
# install what the project needs first (quietly when it is there already).
.PHONY: deps build run test asan fuzz bench demo package screenshots format clean

JOBS ?= 2
export QT_QPA_PLATFORM ?= offscreen

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake --preset dev >/dev/null
	@cmake --build --preset dev -j $(JOBS)

run: build
	@mkdir -p run && cp -n assets/cw.wav run/ 2>/dev/null || true
	cd run && env -u QT_QPA_PLATFORM ../build/dev/src/app/vantrel

# Sound and serial tests run in real time on a shared machine: one that fails is run once more,
# and both outcomes show in the output.
test: build
	./scripts/with-sound-server.sh ctest --preset dev -j $(JOBS) --repeat until-pass:2

asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ./scripts/with-sound-server.sh ctest --preset asan -j $(JOBS) --repeat until-pass:2

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	./scripts/run-fuzzers.sh build/fuzz/fuzz $(or $(FUZZ_SECONDS),20)

bench: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)
	./scripts/with-sound-server.sh ./scripts/run-benchmarks.sh build/release

demo: build
	./scripts/demo.sh

package: deps
	./scripts/package.sh

screenshots: build
	./scripts/screenshots.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
