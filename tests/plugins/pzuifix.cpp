// A plug-in that records in detail what the program hands it to save, for the
// main window's tests. Settings ("<stem>.cfg"):
//   extension, description   texts (default "uif", "ui fixture")
//   frames      frames of an opened file (default 3)
//   saveframes  answer of SupportsSaveFrames (default 1)
//   saveanims   answer of SupportsSaveAnims (default 0)
//   lockfail    LockFrame refuses this frame (default -1, none)
//   savefail    1 makes SaveObject and SaveAnim fail after writing nothing
//   load        "fail" makes LoadObject fail
// Frame k is (1 + k % 4) x 2 pixels of value k % 256 with tag 1000 + k; odd
// frames bring their own palette (every byte 200) with 16 colours, even ones none.
// SaveObject logs "SaveObject <records>" and one line per record, and writes
// each record's file with that same line. SaveAnim logs "SaveAnim <records>" and
// the same lines, and writes them all to the file named in the first record.
#include "FixtureSupport.h"
#include "pz4/PluginContract.h"

#include <vector>

namespace {

struct OpenFrame {
    std::vector<unsigned char> pixels;
    std::vector<unsigned char> palette;
};
std::vector<OpenFrame> frames;

} // namespace

PZ4_EXPORT const char* GetDllAuthor() {
    return "ui tests";
}
PZ4_EXPORT const char* GetExtension() {
    return fixture::textSetting("extension", "uif");
}
PZ4_EXPORT const char* GetDllVersion() {
    return "1.0";
}
PZ4_EXPORT const char* GetDescription() {
    return fixture::textSetting("description", "ui fixture");
}
PZ4_EXPORT int SupportsSaveFrames() {
    return fixture::intSetting("saveframes", 1);
}
PZ4_EXPORT int SupportsSaveAnims() {
    return fixture::intSetting("saveanims", 0);
}

PZ4_EXPORT int LoadObject(char* path) {
    fixture::log(std::string("LoadObject ") + (path != nullptr ? path : "(null)"));
    frames.clear();
    if (fixture::setting("load", "") == "fail")
        return 0;
    const int n = fixture::intSetting("frames", 3);
    for (int k = 0; k < n; ++k) {
        OpenFrame f;
        f.pixels.assign(static_cast<size_t>((1 + k % 4) * 2), static_cast<unsigned char>(k % 256));
        if (k % 2 == 1)
            f.palette.assign(768, 200);
        frames.push_back(std::move(f));
    }
    return 1;
}

PZ4_EXPORT void UnloadObject() {
    fixture::log("UnloadObject");
    frames.clear();
}

PZ4_EXPORT int GetNumberOfFrames() {
    return static_cast<int>(frames.size());
}

PZ4_EXPORT int LockFrame(int index, unsigned char** pixels, unsigned char** palette, int* width,
                         int* height, int* colorCount, int* tag) {
    if (index < 0 || index >= static_cast<int>(frames.size()) ||
        index == fixture::intSetting("lockfail", -1))
        return 0;
    OpenFrame& f = frames[static_cast<size_t>(index)];
    *pixels = f.pixels.data();
    *palette = f.palette.empty() ? nullptr : f.palette.data();
    *width = 1 + index % 4;
    *height = 2;
    *colorCount = 16;
    *tag = 1000 + index;
    return 1;
}

namespace {

// name width height colours tag palette[0] palette[767] first-pixel
std::string describe(const SAVE_FRAME& r) {
    return std::string(r.fileName ? r.fileName : "-") + " " + std::to_string(r.width) + " " +
           std::to_string(r.height) + " " + std::to_string(r.colorCount) + " " +
           std::to_string(r.tag) + " " + std::to_string(r.palette[0]) + " " +
           std::to_string(r.palette[767]) + " " + std::to_string(r.pixels[0]);
}

} // namespace

PZ4_EXPORT int SaveObject(SAVE_FRAME* first) {
    int records = 0;
    for (const SAVE_FRAME* r = first; r != nullptr; r = r->next)
        ++records;
    fixture::log("SaveObject " + std::to_string(records));
    if (fixture::intSetting("savefail", 0) == 1)
        return 0;
    for (const SAVE_FRAME* r = first; r != nullptr; r = r->next) {
        const std::string line = describe(*r);
        fixture::log(line);
        if (r->fileName) {
            std::ofstream out(r->fileName, std::ios::binary);
            out << line << '\n';
        }
    }
    return 1;
}

PZ4_EXPORT int SaveAnim(SAVE_FRAME* first) {
    int records = 0;
    for (const SAVE_FRAME* r = first; r != nullptr; r = r->next)
        ++records;
    fixture::log("SaveAnim " + std::to_string(records));
    if (fixture::intSetting("savefail", 0) == 1)
        return 0;
    std::string lines;
    for (const SAVE_FRAME* r = first; r != nullptr; r = r->next) {
        fixture::log(describe(*r));
        lines += describe(*r) + '\n';
    }
    if (first != nullptr && first->fileName != nullptr) {
        std::ofstream out(first->fileName, std::ios::binary);
        out << lines;
    }
    return 1;
}
