# The two commands a fresh machine needs: `make run` and `make test`.
BUILD ?= build
JOBS ?= 2

.PHONY: all deps configure build test run clean

all: build

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
