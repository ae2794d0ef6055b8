// A client of the plug-in contract and nothing more, for timing whole processes:
//
//   pz4loadclient PLUGIN FILE [reverse]   load FILE through PLUGIN, lock every frame (in
//                                         order, or last to first), unload, exit
//   pz4loadclient read FILE               read FILE into one buffer, exit
//
// Prints one line: frames locked, the frames' bytes, the CPU seconds from LoadObject to
// the last lock, and the growth of the process's anonymous and file-backed resident
// memory over the same span, in KiB. bench_load runs it as a child and takes the
// child's CPU time, which start-up, dynamic linking and exit belong to.

#include "plugins/ExportLookup.h"
#include "pz4/PluginContract.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A field of /proc/self/status in KiB ("RssAnon:", "RssFile:"), 0 where there is none.
long statusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0)
            return std::atol(line.c_str() + n);
    return 0;
}

int readWhole(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr)
        return 1;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    auto bytes = std::make_unique_for_overwrite<unsigned char[]>(static_cast<size_t>(size));
    const bool ok =
        std::fread(bytes.get(), 1, static_cast<size_t>(size), f) == static_cast<size_t>(size);
    std::fclose(f);
    std::printf("1 %ld 0 0 0 %u\n", size,
                size > 0 ? bytes[static_cast<size_t>(size) / 2] & 1u : 0u);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "read") == 0)
        return readWhole(argv[2]);
    if (argc < 3)
        return 2;
    std::string error;
    std::unique_ptr<DynamicLibrary> library = DynamicLibrary::open(argv[1], error);
    if (library == nullptr)
        return 3;
    using pz4::plugin::Export;
    auto load = findExport<pz4::plugin::LoadObjectFn>(*library, Export::LoadObject);
    auto unload = findExport<pz4::plugin::UnloadObjectFn>(*library, Export::UnloadObject);
    auto count = findExport<pz4::plugin::GetNumberOfFramesFn>(*library, Export::GetNumberOfFrames);
    auto lock = findExport<pz4::plugin::LockFrameFn>(*library, Export::LockFrame);
    if (!load || !unload || !count || !lock)
        return 3;
    const bool reverse = argc > 3 && std::strcmp(argv[3], "reverse") == 0;

    const long anonBefore = statusKiB("RssAnon:"), fileBefore = statusKiB("RssFile:");
    const double t0 = cpuSeconds();
    std::string path = argv[2];
    if (!pz4::plugin::truth(load(path.data())))
        return 4;
    const int frames = count();
    unsigned long long bytes = 0;
    unsigned sum = 0;
    for (int i = 0; i < frames; ++i) {
        const int k = reverse ? frames - 1 - i : i;
        unsigned char *pixels = nullptr, *palette = nullptr;
        int w = 0, h = 0, colours = 0, tag = 0;
        if (!pz4::plugin::truth(lock(k, &pixels, &palette, &w, &h, &colours, &tag)))
            return 5;
        bytes += static_cast<unsigned long long>(w) * static_cast<unsigned long long>(h);
        sum += pixels[0];
    }
    const double seconds = cpuSeconds() - t0;
    const long anon = statusKiB("RssAnon:") - anonBefore, file = statusKiB("RssFile:") - fileBefore;
    unload();
    std::printf("%d %llu %.6f %ld %ld %u\n", frames, bytes, seconds, anon, file, sum & 1);
    return 0;
}
