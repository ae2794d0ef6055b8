#!/usr/bin/env bash
# Takes docs/screenshot.png: the main window with the frame list of a loaded
# sample, on a virtual display with a window manager drawing the captions; then
# docs/viewer.png: the viewer on every frame of the sample, and docs/viewer-zoom.png:
# that viewer at zoom 3; docs/palette.png and
# docs/translation.png: the palette window with walk.pal and the colour
# translation window with team.trn; and docs/animator.png: the animator playing
# walk.scp in the player.
# Usage: tools/screenshot.sh [sample file in build/run, default walk.gif]
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
pz4_ensure_packages "${PZ4_BUILD_PACKAGES[@]}" "${PZ4_RUN_PACKAGES[@]}" "${PZ4_SCREENSHOT_PACKAGES[@]}"
. tools/runfolder.sh
pz4_build_release
pz4_layout_run

sample=${1:-walk.gif}
for f in "$sample" walk.pal team.trn walk.scp; do
    if [ ! -f "build/run/$f" ]; then
        echo "No sample file $f in build/run to load." >&2
        exit 1
    fi
done
mkdir -p docs
out=$(pwd)/docs/screenshot.png
palette=$(pwd)/docs/palette.png
translation=$(pwd)/docs/translation.png
viewer=$(pwd)/docs/viewer.png
zoomed=$(pwd)/docs/viewer-zoom.png
animator=$(pwd)/docs/animator.png
rc=$(pwd)/tools/screenshot/openbox-rc.xml
plugins=$(pwd)/build/release/plugins
settings=$(mktemp -d)
trap 'rm -rf "$settings"' EXIT
cd build/run
# The build's plug-ins, and settings of its own so every run starts alike.
PZ4_PLUGIN_PATH=$plugins XDG_CONFIG_HOME=$settings XDG_DATA_HOME=$settings xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" sh -c '
    openbox --config-file "$3" >/dev/null 2>&1 &
    wm=$!
    sleep 1
    ../release/bin/pz4shot "$1" "$2" walk.pal team.trn "$4" "$5" "$6" "$8" &&
        ../release/bin/pz4shot "$1" "$7" walk.scp
    status=$?
    kill $wm 2>/dev/null
    exit $status' sh "$sample" "$out" "$rc" "$palette" "$translation" "$viewer" "$animator" "$zoomed"
echo "Wrote $out, $viewer, $zoomed and $animator from $sample, $palette and $translation"
