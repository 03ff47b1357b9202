# The two commands a fresh machine needs: `make run` and `make test`.
BUILD ?= build
JOBS ?= 2

# The Windows program: 32-bit, cross-built; its tests run under Wine in a
# tree of their own (64-bit when this machine's kernel cannot run 32-bit
# programs, as Wine then cannot either).
WINDOWS_BUILD ?= $(BUILD)/windows
WINDOWS_TEST_BUILD ?= $(BUILD)/windows-tests
WINDOWS_TEST_ARCH = $(shell /usr/lib/wine/wine --version >/dev/null 2>&1 \
	&& echo i686 || echo x86_64)

.PHONY: all deps configure build test run package screenshot bench fuzz \
	ping-latency clean windows windows-dist windows-test test-vm

all: build

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) windows-test

# Quenby.exe lands in $(WINDOWS_BUILD).
windows: deps
	cmake -S . -B $(WINDOWS_BUILD) -DQUENBY_BUILD_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/i686-w64-mingw32.cmake
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# The release archive, $(WINDOWS_BUILD)/quenby-<version>-win32.zip.
windows-dist: windows
	cmake --build $(WINDOWS_BUILD) --target windows-dist

windows-test: windows-dist
	cmake -S . -B $(WINDOWS_TEST_BUILD) \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/$(WINDOWS_TEST_ARCH)-w64-mingw32.cmake \
	  -DQUENBY_SHIPPED_EXE=$(abspath $(WINDOWS_BUILD))/Quenby.exe
	cmake --build $(WINDOWS_TEST_BUILD) -j $(JOBS)
	xvfb-run -a -s "-screen 0 1024x768x24" \
	  ctest --test-dir $(WINDOWS_TEST_BUILD) --output-on-failure

# The shipped 32-bit Quenby.exe and an i686 test tree under real 32-bit Wine,
# the engine's file-system suites and its speed on the kernel's vfat, and
# sticks pulled from numbering runs, inside the emulated machine of
# ../shared/win32-vm; takes minutes, so not part of test.
VM_TEST_BUILD ?= $(BUILD)/windows-tests-i686
WIN32_VM ?= $(CURDIR)/../shared/win32-vm
test-vm: configure windows-dist
	cmake --build $(BUILD) -j $(JOBS) --target engine_tests \
	  reliability_tests crash_driver fat_bench
	cmake -S . -B $(VM_TEST_BUILD) \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/i686-w64-mingw32.cmake \
	  -DQUENBY_SHIPPED_EXE=$(abspath $(WINDOWS_BUILD))/Quenby.exe \
	  -DQUENBY_WINEPREFIX=/root/.wine -DQUENBY_WINE_SLOWNESS=5
	cmake --build $(VM_TEST_BUILD) -j $(JOBS)
	WIN32_VM=$(WIN32_VM) ./scripts/test-vm.sh $(BUILD) $(VM_TEST_BUILD) $(WINDOWS_BUILD)/Quenby.exe

# Starts the dialog. Without a display the program says so in one line and
# fails.
run: build
	@./$(BUILD)/ui/qt/Quenby

# The .deb, made by dpkg-buildpackage from debian/ on a copy of the sources
# in $(BUILD)/deb/; the program's package is also copied into $(BUILD).
package: configure
	cmake --build $(BUILD) --target deb

# The README's picture of the dialog, as the dialog tests take it.
screenshot: build
	ctest --test-dir $(BUILD) -R '^qt\.dialog_test$$' --output-on-failure
	mkdir -p docs
	cp $(BUILD)/tests/qt/main_dialog.png docs/main_dialog.png

# Timing against the bare system calls and the usual scripts; takes minutes.
bench: build
	$(BUILD)/bench/quenby_bench

# The Qt dialog's longest wait for a window manager's ping during a long
# numbering run of real files, on Xvfb; a minute or two.
PING_ENTRIES ?= 1000000
ping-latency: build
	xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb \
	  $(BUILD)/bench/ping_latency $(PING_ENTRIES)

# Each fuzzer for FUZZ_SECONDS, keeping what it learns in $(BUILD)/fuzz/long-*.
FUZZ_SECONDS ?= 600
fuzz: build
	for fuzzer in playlist numbered_path; do \
	  sh fuzz/run-fuzzer.sh keep $(BUILD)/fuzz/targets/$${fuzzer}_fuzzer \
	    fuzz/corpus/$$fuzzer $(BUILD)/fuzz/long-$$fuzzer \
	    -max_total_time=$(FUZZ_SECONDS) -max_len=16384 || exit 1; \
	done

clean:
	rm -rf $(BUILD)
