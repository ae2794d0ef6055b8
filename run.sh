#!/usr/bin/env bash
# Installs what is missing, builds pz4 (Release) with its plug-ins and sample
# files, installs it into build/stage/ as it would be installed on a machine,
# puts the samples in build/run/ and starts the staged pz4 there. Arguments go to
# pz4 (./run.sh walk.gif opens a sample).
set -euo pipefail
cd "$(dirname "$0")"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'MSG'
pz4 is a desktop program and there is no display to show it on
(neither DISPLAY nor WAYLAND_DISPLAY is set).
Run it on a virtual display instead:
    xvfb-run -a ./run.sh        (xvfb-run comes with the package xvfb)
or without any display at all (nothing is shown, the program just runs):
    QT_QPA_PLATFORM=offscreen ./run.sh
MSG
    exit 1
fi

. tools/deps.sh
pz4_ensure_packages "${PZ4_BUILD_PACKAGES[@]}" "${PZ4_RUN_PACKAGES[@]}"
. tools/runfolder.sh
pz4_build_release
pz4_stage
pz4_layout_run

echo "Starting the staged pz4 (build/stage/usr/local/bin/pz4) in build/run/, among the samples."
cd build/run
exec ../stage/usr/local/bin/pz4 "$@"
