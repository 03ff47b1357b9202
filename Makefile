# The two commands a fresh machine needs: `make run` and `make test`.
BUILD ?= build
JOBS ?= 2

.PHONY: all deps configure build test run package bench clean

all: build

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Starts the dialog. Without a display the program says so in one line and
# fails.
run: build
	@./$(BUILD)/ui/qt/Quenby

# A .deb of the program, its desktop entry and its icon.
package: build
	cmake --build $(BUILD) --target package

# Timing against the bare system calls and the usual scripts; takes minutes.
bench: build
	$(BUILD)/bench/quenby_bench

clean:
	rm -rf $(BUILD)
