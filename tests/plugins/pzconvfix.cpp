// A plug-in with a file format of its own that keeps everything a SAVE_FRAME
// record carries, so a test can read back exactly what a saver handed over.
// Extension "fix". A file:
//   "FIX1", frame count (int32)
//   per frame: width, height, colorCount, tag (int32 each),
//              flags (byte: 1 palette follows, 2 the record carried a file name),
//              [768 palette bytes], width x height pixels
// SaveObject writes one single-frame file per record; SaveAnim writes the whole
// chain into the first record's file. A frame stored with the tag kRefusedTag
// is refused by LockFrame, as a plug-in refuses a damaged frame.
#include "pz4/PluginContract.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int32_t kRefusedTag = -999;

struct Frame {
    int32_t width = 0, height = 0, colorCount = 0, tag = 0;
    uint8_t flags = 0;
    std::vector<unsigned char> palette, pixels;
};
std::vector<Frame> frames;

void put(std::string& out, int32_t v) {
    out.append(reinterpret_cast<const char*>(&v), 4);
}

bool get(const std::string& in, size_t& at, void* to, size_t n) {
    if (in.size() - at < n)
        return false;
    std::memcpy(to, in.data() + at, n);
    at += n;
    return true;
}

bool write(const char* path, const SAVE_FRAME* first, bool wholeChain) {
    if (path == nullptr)
        return false;
    std::string out = "FIX1";
    int32_t n = 0;
    for (const SAVE_FRAME* r = first; r != nullptr && (wholeChain || r == first); r = r->next)
        ++n;
    put(out, n);
    for (const SAVE_FRAME* r = first; r != nullptr && (wholeChain || r == first); r = r->next) {
        if (r->pixels == nullptr || r->width <= 0 || r->height <= 0)
            return false;
        for (int32_t v : {r->width, r->height, r->colorCount, r->tag})
            put(out, v);
        out +=
            static_cast<char>((r->palette != nullptr ? 1 : 0) | (r->fileName != nullptr ? 2 : 0));
        if (r->palette != nullptr)
            out.append(reinterpret_cast<const char*>(r->palette), 768);
        out.append(reinterpret_cast<const char*>(r->pixels),
                   static_cast<size_t>(r->width) * static_cast<size_t>(r->height));
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

bool parse(const std::string& in) {
    size_t at = 4;
    int32_t n = 0;
    if (in.compare(0, 4, "FIX1") != 0 || !get(in, at, &n, 4) || n < 0 || n > 4096)
        return false;
    for (int32_t k = 0; k < n; ++k) {
        Frame f;
        if (!get(in, at, &f.width, 4) || !get(in, at, &f.height, 4) ||
            !get(in, at, &f.colorCount, 4) || !get(in, at, &f.tag, 4) ||
            !get(in, at, &f.flags, 1) || f.width <= 0 || f.height <= 0 || f.width > 4096 ||
            f.height > 4096)
            return false;
        if (f.flags & 1) {
            f.palette.resize(768);
            if (!get(in, at, f.palette.data(), 768))
                return false;
        }
        f.pixels.resize(static_cast<size_t>(f.width) * static_cast<size_t>(f.height));
        if (!get(in, at, f.pixels.data(), f.pixels.size()))
            return false;
        frames.push_back(std::move(f));
    }
    return true;
}

} // namespace

PZ4_EXPORT const char* GetDllAuthor() {
    return "fixture author";
}
PZ4_EXPORT const char* GetExtension() {
    return "fix";
}
PZ4_EXPORT const char* GetDllVersion() {
    return "0.1";
}
PZ4_EXPORT const char* GetDescription() {
    return "Record keeper";
}
PZ4_EXPORT int SupportsSaveFrames() {
    return 1;
}
PZ4_EXPORT int SupportsSaveAnims() {
    return 1;
}

PZ4_EXPORT int LoadObject(char* path) {
    frames.clear();
    std::ifstream file(path, std::ios::binary);
    const std::string in((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (parse(in))
        return 1;
    frames.clear();
    return 0;
}

PZ4_EXPORT void UnloadObject() {
    frames.clear();
}

PZ4_EXPORT int GetNumberOfFrames() {
    return static_cast<int>(frames.size());
}

PZ4_EXPORT int LockFrame(int index, unsigned char** pixels, unsigned char** palette, int* width,
                         int* height, int* colorCount, int* tag) {
    if (index < 0 || index >= static_cast<int>(frames.size()))
        return 0;
    Frame& f = frames[static_cast<size_t>(index)];
    if (f.tag == kRefusedTag)
        return 0;
    *pixels = f.pixels.data();
    *palette = f.palette.empty() ? nullptr : f.palette.data();
    *width = f.width;
    *height = f.height;
    *colorCount = f.colorCount;
    *tag = f.tag;
    return 1;
}

PZ4_EXPORT int SaveObject(SAVE_FRAME* first) {
    for (const SAVE_FRAME* r = first; r != nullptr; r = r->next)
        if (!write(r->fileName, r, false))
            return 0;
    return first != nullptr;
}

PZ4_EXPORT int SaveAnim(SAVE_FRAME* first) {
    return first != nullptr && write(first->fileName, first, true);
}
