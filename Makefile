# Tarvelo — the commands a developer and CI use.
BUILD ?= build
DEMO ?= demo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps build check demo run bench screenshot format clean

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

# The whole suite, the PostgreSQL and MariaDB tests against throw-away
# servers that this command starts and removes again.
check: build
	scripts/with-postgres scripts/with-mariadb ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# A demo directory with the executable, its configuration, an SQLite
# database, an address list and an exception list; then one unattended run.
demo: build
	scripts/demo $(BUILD) $(DEMO)

# The window on the demo database.
run: demo
	$(DEMO)/tarvelo

bench: build
	scripts/with-postgres $(BUILD)/bench/tarvelo_bench

screenshot: demo
	scripts/screenshot $(DEMO) $(BUILD)/screenshot.png

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(DEMO)
