# Tarvelo — the commands a developer and CI use.
BUILD ?= build
DEMO ?= demo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
PREFIX ?= /opt/tarvelo

.PHONY: deps build check demo run bench screenshot install package lint format clean

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

# The figures of the synchronisation run for the shipped executable; builds
# only the program and the benchmark.
bench: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS) --target tarvelo tarvelo_bench
	scripts/with-postgres $(BUILD)/bench/tarvelo_bench

screenshot: demo
	scripts/screenshot $(DEMO) $(BUILD)/screenshot.png

# The program, its plugins and the two example files into PREFIX, with sudo
# when PREFIX is not yours; tarvelo.ini, ausnahmen.txt and tarvelo.log there
# stay as they are.
install: build
	@dir='$(PREFIX)'; while [ ! -e "$$dir" ]; do dir=$$(dirname "$$dir"); done; \
	sudo=; [ -w "$$dir" ] || sudo=sudo; \
	echo "$$sudo cmake --install $(BUILD) --prefix $(PREFIX)"; \
	$$sudo cmake --install $(BUILD) --prefix '$(PREFIX)'

# The Debian package $(BUILD)/tarvelo_<version>_amd64.deb.
package: build
	cmake --build $(BUILD) --target package

# Fails when any source file differs from the formatting of .clang-format.
lint: deps
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(DEMO)
