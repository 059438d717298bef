# Top-level entry. `make test` installs what is missing, builds everything and
# runs every test under Wine.
.PHONY: test build setup format check-format bench clean run run-setup

test: check-format
	scripts/test.sh

setup:
	scripts/setup.sh

build: setup
	scripts/build.sh

SOURCES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)

format:
	clang-format -i $(SOURCES)

check-format: setup
	@echo "check-format: $(words $(SOURCES)) files"
	@clang-format --dry-run -Werror $(SOURCES)

# Builds and starts the game under Wine (see README).
run:
	scripts/run.sh

# Builds and starts the installer under Wine; DEVICE=1 attaches an emulated device (see README).
run-setup:
	DEVICE=$(DEVICE) scripts/run-setup.sh

bench: build
	scripts/with-display scripts/bench.sh

clean:
	rm -rf build/target build/host
