// Draws the sample sprites and writes them through the format plug-ins of the
// working directory, so the samples are what those plug-ins really produce.
//
//   pzsamples [OUTDIR]    (default: the working directory)

#include "BareGif.h"
#include "Sprites.h"

#include "plugins/DllManager.h"
#include "plugins/SaveChain.h"
#include "plugins/SaveNames.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pzsamples;

namespace {

bool writeBytes(const fs::path& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

// Walk right, then walk left: the same frames mirrored. The file ends without a
// line feed so no extra step follows the last line.
std::string walkScript() {
    std::string s = "// Walk to the right, then back to the left\n";
    for (int f = 0; f < kWalkFrames; ++f)
        s += std::to_string(f) + "\n";
    for (int f = 0; f < kWalkFrames; ++f)
        s += std::to_string(f) + " MIRROR_X" + (f + 1 < kWalkFrames ? "\n" : "");
    return s;
}

class SampleWriter {
public:
    explicit SampleWriter(fs::path dir) : dir_(std::move(dir)) {
        for (int f = 0; f < kWalkFrames; ++f) {
            pictures_.push_back(drawWalkFrame(f));
            rows_.push_back(bottomUp(pictures_.back()));
        }
    }

    bool run() {
        return need("gif", true) && need("flc", true) && need("pcx", false) && need("bmp", false) &&
               need("png", false) && walkAnimation("walk.gif", "gif") &&
               walkAnimation("walk.flc", "flc") && pcxFrames() && single("walk.bmp", "bmp", 0) &&
               single("walk.png", "png", 4) && rawFiles();
    }

private:
    bool fail(const std::string& what) {
        std::fprintf(stderr, "pzsamples: %s\n", what.c_str());
        return false;
    }

    bool need(const char* ext, bool anim) {
        const PluginRecord* r = plugins_.FindByExtension(ext);
        if (r == nullptr || !(anim ? r->savesAnims : r->savesFrames))
            return fail(std::string("no plug-in saves ") + ext +
                        (anim ? " animations" : " frames"));
        return true;
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    bool walkAnimation(const char* file, const char* ext) {
        Palette palette = walkPalette();
        cSaveChain chain(cSaveChain::Kind::Animation, palette.data());
        const std::string name = path(file);
        for (auto& rows : rows_)
            chain.Append(name.c_str(), rows.data(), palette.data(), kSide, kSide, 256, kWalkDelay);
        return plugins_.SaveAnimWith(ext, chain.First()) || fail("saving " + name + " failed");
    }

    bool pcxFrames() {
        Palette palette = walkPalette();
        cSaveChain chain(cSaveChain::Kind::Frames, palette.data());
        const std::string stem = path("walk");
        for (int f = 0; f < kWalkFrames; ++f)
            chain.Append(frameOutputName(stem.c_str(), f, kWalkFrames, "pcx").c_str(),
                         rows_[static_cast<size_t>(f)].data(), palette.data(), kSide, kSide, 256,
                         kWalkDelay);
        return plugins_.SaveFramesWith("pcx", chain.First()) ||
               fail("saving the PCX frames " + stem + "000.pcx ... failed");
    }

    bool single(const char* name, const char* ext, int frame) {
        Palette palette = walkPalette();
        cSaveChain chain(cSaveChain::Kind::Frames, palette.data());
        const std::string file = path(name);
        chain.Append(file.c_str(), rows_[static_cast<size_t>(frame)].data(), palette.data(), kSide,
                     kSide, 256, kWalkDelay);
        return plugins_.SaveFramesWith(ext, chain.First()) || fail("saving " + file + " failed");
    }

    bool rawFiles() {
        const std::vector<uint8_t> bare = encodeBareGif(pictures_, kWalkDelay);
        const Palette day = walkPalette();
        const Palette dusk = duskPalette();
        const Table swap = teamSwap();
        const std::string script = walkScript();
        const struct {
            const char* name;
            const void* data;
            size_t size;
        } files[] = {{"walk_nopal.gif", bare.data(), bare.size()},
                     {"dusk.pal", dusk.data(), dusk.size()},
                     {"walk.pal", day.data(), day.size()},
                     {"team.trn", swap.data(), swap.size()},
                     {"walk.scp", script.data(), script.size()}};
        for (const auto& f : files)
            if (!writeBytes(dir_ / f.name, f.data, f.size))
                return fail("cannot write " + path(f.name));
        return true;
    }

    fs::path dir_;
    cDllManager plugins_;
    std::vector<Picture> pictures_;
    std::vector<std::vector<uint8_t>> rows_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "Usage: pzsamples [OUTDIR]\n");
        return 2;
    }
    const fs::path dir = argc == 2 ? fs::path(argv[1]) : fs::current_path();
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir)) {
        std::fprintf(stderr, "pzsamples: cannot create %s\n", dir.string().c_str());
        return 1;
    }
    return SampleWriter(dir).run() ? 0 : 1;
}
