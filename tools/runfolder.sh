# Sourced by run.sh and tools/screenshot.sh: the Release build and the run
# folder build/run/ that pz4 starts in (plug-ins and sample files side by side,
# as the program finds its plug-ins and pz.ini in its working directory).

pz4_build_release() {
    local jobs
    jobs=$(nproc 2>/dev/null || echo 2)
    cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DPZ4_TESTS=OFF -DPZ4_BENCH=OFF -DPZ4_FUZZ=OFF -DPZ4_UI=ON
    # The sample files (pz4_samples) are part of the default build.
    cmake --build build/release -j "$jobs"
}

pz4_layout_run() {
    mkdir -p build/run
    # Plug-ins are replaced every time; pz.ini and anything the user saved stay.
    rm -f build/run/pz*.so
    cp build/release/plugins/*.so build/run/ 2>/dev/null || echo "No format plug-ins were built."
    if [ -d build/release/samples ]; then
        cp -r build/release/samples/. build/run/
    fi
}
