#pragma once

// What the benchmarks share: timing on a shared machine, the memcpy baseline,
// heap and temporary files, and format plug-ins opened as the program opens them.

#include "plugins/ExportLookup.h"
#include "pz4/PluginContract.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace pz4bench {

// Process CPU time: the machine these run on is shared, and wall time would
// charge other programs' work to whichever side happened to run beside it.
inline double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The shortest of `runs` runs of `f`: other programs only ever add to a run's time.
template <class F> double bestSeconds(F&& f, int runs) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double t0 = cpuSeconds();
        f();
        best = std::min(best, cpuSeconds() - t0);
    }
    return best;
}

// The baseline for work that hands out `bytes` bytes: the best of `runs` copies
// of as many bytes.
inline double memcpySeconds(size_t bytes, int runs) {
    std::vector<unsigned char> from(bytes, 1), to(bytes);
    return bestSeconds(
        [&] {
            std::memcpy(to.data(), from.data(), bytes);
            benchmark::ClobberMemory();
        },
        runs);
}

// `total` CPU time spread over the benchmark's iterations.
inline double perIteration(const benchmark::State& state, double total) {
    return total / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
}

// Heap in use, in bytes, large blocks of their own included.
inline size_t heapBytes() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// A name in the temporary folder that no other run of a benchmark uses.
inline std::filesystem::path tempPath(const std::string& suffix) {
    return std::filesystem::temp_directory_path() /
           ("pz4-bench-" + std::to_string(getpid()) + suffix);
}

// A working folder of its own while it lives, removed with everything in it at
// the end. It is the one folder plug-ins are loaded from and holds the settings,
// so a benchmark sees nothing of the machine's own plug-ins or pz.ini.
struct WorkDir {
    std::filesystem::path dir, previous;
    explicit WorkDir(const std::string& suffix)
        : dir(tempPath(suffix)), previous(std::filesystem::current_path()) {
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        setenv("PZ4_PLUGIN_PATH", dir.c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    }
    ~WorkDir() {
        std::error_code ec;
        std::filesystem::current_path(previous, ec);
        std::filesystem::remove_all(dir, ec);
    }
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;
};

// A built plug-in of this tree, by its file name.
inline std::string pluginPath(const char* file) {
    return std::string(PZ4_PLUGIN_DIR "/") + file;
}

// A format plug-in opened from `path` as the program opens it, with the exports
// a benchmark drives.
struct Plugin {
    std::unique_ptr<DynamicLibrary> library;
    pz4::plugin::LoadObjectFn load = nullptr;
    pz4::plugin::UnloadObjectFn unload = nullptr;
    pz4::plugin::GetNumberOfFramesFn count = nullptr;
    pz4::plugin::LockFrameFn lock = nullptr;
    pz4::plugin::SaveFn saveObject = nullptr;
    pz4::plugin::SaveFn saveAnim = nullptr;

    explicit Plugin(const std::string& path) {
        std::string error;
        library = DynamicLibrary::open(path, error);
        if (library == nullptr)
            throw std::runtime_error(error);
        using pz4::plugin::Export;
        load = findExport<pz4::plugin::LoadObjectFn>(*library, Export::LoadObject);
        unload = findExport<pz4::plugin::UnloadObjectFn>(*library, Export::UnloadObject);
        count = findExport<pz4::plugin::GetNumberOfFramesFn>(*library, Export::GetNumberOfFrames);
        lock = findExport<pz4::plugin::LockFrameFn>(*library, Export::LockFrame);
        saveObject = findExport<pz4::plugin::SaveFn>(*library, Export::SaveObject);
        saveAnim = findExport<pz4::plugin::SaveFn>(*library, Export::SaveAnim);
        if (!load || !unload || !count || !lock)
            throw std::runtime_error(path + " lacks a loading export");
    }

    // Load, lock every frame the plug-in reports in order, unload; the frames
    // locked, or 0 when one could not be.
    int loadAndLockAll(std::string path) const {
        if (!pz4::plugin::truth(load(path.data())))
            return 0;
        const int frames = count();
        for (int i = 0; i < frames; ++i) {
            unsigned char *pixels = nullptr, *pal = nullptr;
            int w = 0, h = 0, colours = 0, tag = 0;
            if (!pz4::plugin::truth(lock(i, &pixels, &pal, &w, &h, &colours, &tag)))
                return 0;
            benchmark::DoNotOptimize(pixels[0]);
        }
        unload();
        return frames;
    }
};

// Pillow's CPU time to open `path` and go through every frame, running
// `perFrame` (a Python statement on the image `im`) on each: the best of three,
// measured once per file and statement. 0 when Pillow is not installed.
inline double pillowSeconds(const std::string& path, const std::string& perFrame) {
    static std::map<std::pair<std::string, std::string>, double> measured;
    const auto key = std::make_pair(path, perFrame);
    if (auto it = measured.find(key); it != measured.end())
        return it->second;
    const std::string script = "import sys, time\n"
                               "from PIL import Image\n"
                               "best = 1e30\n"
                               "for run in range(3):\n"
                               "    t = time.process_time()\n"
                               "    im = Image.open(sys.argv[1])\n"
                               "    for k in range(im.n_frames):\n"
                               "        im.seek(k)\n"
                               "        " +
                               perFrame +
                               "\n"
                               "    best = min(best, time.process_time() - t)\n"
                               "print(best)\n";
    const std::string scriptPath = path + ".py";
    std::ofstream(scriptPath) << script;
    double seconds = 0;
    if (FILE* pipe =
            popen(("/usr/bin/python3 " + scriptPath + " " + path + " 2>/dev/null").c_str(), "r")) {
        char line[64] = {};
        if (std::fgets(line, sizeof line, pipe) != nullptr)
            seconds = std::atof(line);
        pclose(pipe);
    }
    std::error_code ec;
    std::filesystem::remove(scriptPath, ec);
    return measured[key] = seconds;
}

// A whole process's CPU time, its own and the kernel's on its behalf, from start to
// exit: `argv` run `runs` times, the shortest run taken, as bestSeconds does within a
// process. What the last run printed goes to `printed` when given. 0 when the
// program cannot be started or fails.
inline double childSeconds(const std::vector<std::string>& argv, int runs,
                           std::string* printed = nullptr) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::string output = tempPath("-child.out").string();
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int started = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (started != 0)
            return 0;
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return 0;
        const auto seconds = [](const timeval& t) {
            return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
        };
        best = std::min(best, seconds(usage.ru_utime) + seconds(usage.ru_stime));
    }
    if (printed != nullptr) {
        std::ifstream in(output);
        printed->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::error_code ec;
    std::filesystem::remove(output, ec);
    return best;
}

} // namespace pz4bench
