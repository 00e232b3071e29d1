# The commands of the README. Each first makes sure the machine has what it needs (scripts/setup);
# every build depends on that, so that `make -j` never starts one before the packages are there.
.PHONY: play test acceptance setup game native-build win32-build win64-build native-test \
	wine-plan wine-test dist

# The players' launcher (dist/tavune-wine, which tests/e2e/launcher.py tests), beside the two
# programs it chooses from, with a prefix under build/. Without a display it refuses: before
# anything is built.
play:
	@[ -n "$$DISPLAY" ] || dist/tavune-wine
	@$(MAKE) --no-print-directory game
	@mkdir -p build/play && ln -sf $(CURDIR)/dist/tavune-wine build/play/
	@ln -sf $(CURDIR)/build/win32/tavune.exe build/play/tavune.exe
	@ln -sf $(CURDIR)/build/win64/tavune.exe build/play/tavune64.exe
	TAVUNE_WINEPREFIX="$(CURDIR)/build/play/wineprefix" build/play/tavune-wine

# Every test but the long acceptance runs. Which builds the Wine tier plays is found out first.
test: wine-plan native-test wine-test

# The long runs: ten landings in a row by the scripted player, and the monkey for five minutes.
acceptance: wine-plan win32-build win64-build
	@scripts/wine-tests acceptance

setup:
	@scripts/setup

game: setup
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 --target tavune
	@cmake --preset win64 >/dev/null
	@cmake --build --preset win64 --target tavune

native-build: setup
	cmake --preset native
	cmake --build --preset native

win32-build: setup
	cmake --preset win32
	cmake --build --preset win32

win64-build: setup
	cmake --preset win64
	cmake --build --preset win64

native-test: native-build
	ctest --preset native

wine-plan: setup
	@scripts/wine-tests plan

# Both Windows builds, then the tests of those this machine's Wine runs.
wine-test: win32-build win64-build
	@scripts/wine-tests test

# The zip for players: build/dist/tavune-VERSION.zip (see "Getting the game" in the README).
dist: game
	scripts/dist
