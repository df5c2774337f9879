# Set-up, build and test in one command each.
JOBS ?= $(shell nproc)

.PHONY: deps build install package test test-asan test-tsan test-clang fuzz bench run demo screenshots format clean

deps:
	bash scripts/install-deps.sh

define run_preset
	cmake --preset $(1)
	cmake --build --preset $(1) -j $(JOBS)
	ctest --preset $(1) -j $(JOBS)
endef

build: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

# Installs the release build under PREFIX (default /usr/local): bin/, lib/kavrindemo/, share/.
PREFIX ?= /usr/local
install: build
	cmake --install build/release --prefix $(PREFIX)

# The Debian package build/release/kavrindemo_<version>_<arch>.deb.
package: build
	cd build/release && cpack -G DEB

test: deps
	$(call run_preset,release)

test-asan: deps
	$(call run_preset,asan)

test-tsan: deps
	$(call run_preset,tsan)

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)

bench: build
	@for b in build/release/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

run: build
	bash scripts/run-desktop.sh

demo: build
	bash scripts/run-demo.sh

screenshots: build
	bash scripts/screenshots.sh

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build

test-clang: deps
	$(call run_preset,clang)
