# Set-up and everyday commands; see README.md.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build run test test-asan test-tsan fuzz-smoke fuzz-long explore explore-asan bench clean windows test-windows smoke-windows

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKR35_WERROR=ON $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-demo.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Tests under AddressSanitizer + UndefinedBehaviorSanitizer.
test-asan:
	@$(MAKE) --no-print-directory test BUILD=build-asan \
	  CMAKE_FLAGS="-DKR35_SANITIZE=address,undefined -DKR35_BUILD_QT=OFF -DKR35_BUILD_BENCH=OFF"

# Threaded tests under ThreadSanitizer.
test-tsan:
	@$(MAKE) --no-print-directory build BUILD=build-tsan \
	  CMAKE_FLAGS="-DKR35_SANITIZE=thread -DKR35_BUILD_QT=OFF -DKR35_BUILD_BENCH=OFF"
	@cd build-tsan && ctest --output-on-failure -j $(JOBS) -L threads

fuzz-smoke: deps
	@scripts/fuzz-smoke.sh

# Every fuzz target for FUZZ_SECONDS each (default 300); not in CI.
fuzz-long: deps
	@FUZZ_SECONDS=$${FUZZ_SECONDS:-300} scripts/fuzz-smoke.sh

# The fault explorer (docs/explorer.md): 100,000 seeded runs in virtual time.
EXPLORE_RUNS ?= 100000
explore: build
	@$(BUILD)/src/explore/kr35-explore --seed=1 --runs=$(EXPLORE_RUNS)

# 5,000 runs under AddressSanitizer + UndefinedBehaviorSanitizer, in the
# build-asan tree of test-asan (whose ctest already runs them once).
explore-asan:
	@$(MAKE) --no-print-directory build BUILD=build-asan \
	  CMAKE_FLAGS="-DKR35_SANITIZE=address,undefined -DKR35_BUILD_QT=OFF -DKR35_BUILD_BENCH=OFF"
	@build-asan/src/explore/kr35-explore --seed=1 --runs=5000

bench: build
	@scripts/run-benchmarks.sh $(BUILD)

clean:
	rm -rf build build-asan build-tsan build-fuzz build-windows build-kernel build-package build-package-* build-arm64

# The Debian package, built by Debian's tools and checked by lintian, in
# build-package/ (docs/packaging.md); then installed, used and purged.
# ARCH=arm64 cross-builds it for arm64, in build-package-arm64/.
ARCH ?=
PACKAGE_DIR = build-package$(if $(ARCH),-$(ARCH))
.PHONY: package test-package
package:
	@JOBS=$(JOBS) ARCH=$(ARCH) scripts/build-package.sh $(PACKAGE_DIR)

test-package: package
	@scripts/test-package.sh $(PACKAGE_DIR)

# Every program and test runner cross-built for arm64 (the package build, in
# build-arm64/), the tests under qemu-user, and a simulated download
# (docs/arm64.md).
.PHONY: test-arm64
test-arm64:
	@JOBS=$(JOBS) scripts/test-arm64.sh build-arm64

# The Windows executables, cross-built with mingw-w64 in build-windows/; their
# tests under Wine (docs/windows.md).
windows:
	@JOBS=$(JOBS) scripts/build-windows.sh build-windows

test-windows: windows
	@scripts/test-windows.sh build-windows

# kr35-download.exe under Wine on a virtual display; refreshes the screenshots
# docs/images/windows-{standard,full}-dialog-NNNdpi.png at 96, 120, 144 and 192 DPI.
smoke-windows: windows
	@scripts/windows-smoke.sh build-windows

# The Windows installer and the portable zip, in build-windows/package/
# (docs/packaging.md); then the installer under Wine.
.PHONY: windows-installer test-windows-installer
windows-installer: windows
	@scripts/build-windows-installer.sh build-windows

test-windows-installer: windows-installer
	@scripts/test-windows-installer.sh build-windows

# The programs on Debian's kernel in a QEMU VM, with kr35-sim as the adapter (docs/kernel-test.md).
.PHONY: test-kernel
test-kernel: configure
	@scripts/test-kernel.sh $(BUILD)
