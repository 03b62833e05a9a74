# Thin wrapper over CMake.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all demo test sanitize bench fuzz install clean

all:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

# The tool alone: no tests to build first.
demo:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target zvword
	@for f in samples/*; do case "$$f" in *.md|*.txt|*.py|*.sh) continue;; esac; echo "== $$f"; $(BUILD)/zvword --summary --list all "$$f" | head -n 20; done

test: all
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -j $(JOBS)

# The tests again with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	cmake -S . -B $(BUILD)-asan -DZVWORD_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && ctest --output-on-failure --no-tests=error -j $(JOBS)

bench:
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DZVWORD_TESTS=OFF -DZVWORD_BENCH=ON >/dev/null
	cmake --build $(BUILD)-bench -j $(JOBS) --target zvword_bench zvword
	$(BUILD)-bench/zvword_bench

fuzz:
	CXX=clang++ cmake -S . -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZVWORD_TESTS=OFF -DZVWORD_FUZZ=ON >/dev/null
	cmake --build $(BUILD)-fuzz -j $(JOBS)

# What the install copies, built without the tests, installed stripped; PREFIX= overrides the
# configured prefix (/usr/local), DESTDIR= stages as usual.
PREFIX ?=
install:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target zvword_installables
	cmake --install $(BUILD) --strip $(if $(PREFIX),--prefix $(PREFIX))

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-fuzz $(BUILD)-asan
