// A plug-in with every export under its plain name. Settings ("<stem>.cfg"):
//   author, version, extension, description  texts ("@null" for a null pointer)
//   saves    answer of both Supports* exports (default 1)
//   truth    the int every successful truth export returns (default 1)
//   load     "fail" makes LoadObject answer 0, "throw" makes it throw
//   frames   frames of an opened file (default 3)
//   lock     how LockFrame answers: ok, lazy, refuse, nullpixels, zerowidth,
//            negheight, overflow, huge, limit, throw
#include "FixtureSupport.h"
#include "pz4/PluginContract.h"

#include <stdexcept>
#include <vector>

namespace {

struct OpenFrame {
    std::vector<unsigned char> pixels;
    std::vector<unsigned char> palette; // empty: the frame has none
};
std::vector<OpenFrame> frames;

int truthAnswer() {
    return fixture::intSetting("truth", 1);
}

} // namespace

PZ4_EXPORT const char* GetDllAuthor() {
    return fixture::textSetting("author", "full author");
}
PZ4_EXPORT const char* GetExtension() {
    return fixture::textSetting("extension", "ful");
}
PZ4_EXPORT const char* GetDllVersion() {
    return fixture::textSetting("version", "1.0");
}
PZ4_EXPORT const char* GetDescription() {
    return fixture::textSetting("description", "full fixture");
}
PZ4_EXPORT int SupportsSaveFrames() {
    return fixture::intSetting("saves", 1);
}
PZ4_EXPORT int SupportsSaveAnims() {
    return fixture::intSetting("saves", 1);
}

PZ4_EXPORT int LoadObject(char* path) {
    fixture::log(std::string("LoadObject ") + (path != nullptr ? path : "(null)"));
    frames.clear();
    const std::string load = fixture::setting("load", "");
    if (load == "fail")
        return 0;
    if (load == "throw")
        throw std::runtime_error("cannot open");
    const int n = fixture::intSetting("frames", 3);
    for (int k = 0; k < n; ++k) {
        OpenFrame f;
        // Frame k: (2 + k) x 3 pixels of value k + 1; even frames bring a palette.
        f.pixels.assign(static_cast<size_t>((2 + k) * 3), static_cast<unsigned char>(k + 1));
        if (k % 2 == 0)
            f.palette.assign(768, static_cast<unsigned char>(k));
        frames.push_back(std::move(f));
    }
    return truthAnswer();
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
    fixture::log("LockFrame " + std::to_string(index));
    const std::string mode = fixture::setting("lock", "ok");
    if (mode == "throw")
        throw std::runtime_error("cannot lock");
    if (mode == "refuse" || index < 0 || index >= static_cast<int>(frames.size()))
        return 0;
    OpenFrame& f = frames[static_cast<size_t>(index)];
    *pixels = f.pixels.data();
    *width = 2 + index;
    *height = 3;
    if (mode == "lazy") // leaves the palette, colour count and tag as the caller had them
        return truthAnswer();
    *palette = f.palette.empty() ? nullptr : f.palette.data();
    *colorCount = 16 + index;
    *tag = 100 + index;
    if (mode == "nullpixels")
        *pixels = nullptr;
    else if (mode == "zerowidth")
        *width = 0;
    else if (mode == "negheight")
        *height = -1;
    else if (mode == "overflow") // 2^32 pixels: wraps to 0 in 32-bit arithmetic
        *width = *height = 65536;
    else if (mode == "huge") // just over 2^28 pixels
        *width = *height = 16385;
    else if (mode == "limit") // exactly 2^28 pixels
        *width = *height = 16384;
    return truthAnswer();
}

namespace {

std::string describeChain(const char* what, const SAVE_FRAME* first) {
    std::string line = what;
    for (const SAVE_FRAME* r = first; r != nullptr; r = r->next)
        line += std::string(" ") + (r->fileName != nullptr ? r->fileName : "-");
    return line;
}

} // namespace

PZ4_EXPORT int SaveObject(SAVE_FRAME* first) {
    fixture::log(describeChain("SaveObject", first));
    return truthAnswer();
}

PZ4_EXPORT int SaveAnim(SAVE_FRAME* first) {
    fixture::log(describeChain("SaveAnim", first));
    return truthAnswer();
}
