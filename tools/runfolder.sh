# Sourced by run.sh and tools/screenshot.sh: the Release build, its staged
# install build/stage/ (what `cmake --install` puts on a machine) and the folder
# of sample files build/run/ that pz4 starts in.

pz4_build_release() {
    local jobs
    jobs=$(nproc 2>/dev/null || echo 2)
    cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DPZ4_TESTS=OFF -DPZ4_BENCH=OFF -DPZ4_FUZZ=OFF -DPZ4_UI=ON
    # The sample files (pz4_samples) are part of the default build.
    cmake --build build/release -j "$jobs"
}

pz4_stage() {
    rm -rf build/stage
    DESTDIR="$PWD/build/stage" cmake --install build/release --prefix /usr/local >/dev/null
}

pz4_layout_run() {
    mkdir -p build/run
    # Plug-ins once sat here; they are never loaded from a working folder now.
    rm -f build/run/pz*.so
    if [ -d build/release/samples ]; then
        cp -r build/release/samples/. build/run/
    fi
}
