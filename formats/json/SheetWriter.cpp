#include "SheetCodec.h"
#include "png/PngCodec.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace pz4json {
namespace {

// Small objects in the order a reader of the file expects their fields.
using Ordered = nlohmann::ordered_json;

Ordered rect(int x, int y, int w, int h) {
    return Ordered{{"x", x}, {"y", y}, {"w", w}, {"h", h}};
}

// File names are bytes; a name that is not UTF-8 is written with replacement
// characters rather than refused, as names only label the frames.
std::string text(const Ordered& j, int indent = -1) {
    return j.dump(indent, ' ', false, Ordered::error_handler_t::replace);
}

struct Place {
    int x, y;
};

// Rows in frame order, one pixel apart. A frame goes on the row while its middle
// stays within the square root of the frames' area (gaps included), so the rows
// come out about as wide as the sheet is tall. False past kMaxSide a side.
bool pack(const std::vector<pz4fmt::SaveInput>& frames, std::vector<Place>& places, int& width,
          int& height) {
    double area = 0;
    for (const pz4fmt::SaveInput& f : frames)
        area += (f.width + 1.0) * (f.height + 1.0);
    const int64_t limit = static_cast<int64_t>(std::ceil(std::sqrt(area)));
    int64_t x = 0, y = 0, rowHeight = 0, right = 0;
    for (const pz4fmt::SaveInput& f : frames) {
        if (x > 0 && x + f.width / 2 > limit) {
            y += rowHeight + 1;
            x = rowHeight = 0;
        }
        if (x + f.width > pz4fmt::kMaxSide || y + f.height > pz4fmt::kMaxSide)
            return false;
        places.push_back({static_cast<int>(x), static_cast<int>(y)});
        right = std::max(right, x + f.width);
        rowHeight = std::max<int64_t>(rowHeight, f.height);
        x += f.width + 1;
    }
    width = static_cast<int>(right);
    height = static_cast<int>(y + rowHeight);
    return true;
}

bool sharePalette(const std::vector<pz4fmt::SaveInput>& frames) {
    for (const pz4fmt::SaveInput& f : frames)
        if (f.transparentIndex != frames[0].transparentIndex ||
            !std::equal(f.palette, f.palette + pz4::plugin::kPaletteBytes, frames[0].palette))
            return false;
    return true;
}

// Frame pixel (u, v), v counted from the top.
uint8_t pixelAt(const pz4fmt::SaveInput& f, int u, int v) {
    return f.pixels[static_cast<size_t>(f.height - 1 - v) * static_cast<size_t>(f.width) +
                    static_cast<size_t>(u)];
}

// One index a pixel, rows bottom-up, as the PNG codec takes a frame; the space
// between frames shows the transparent entry, or entry 0.
std::vector<uint8_t> indexedSheet(const std::vector<pz4fmt::SaveInput>& frames,
                                  const std::vector<Place>& places, int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height),
                                static_cast<uint8_t>(std::max(0, frames[0].transparentIndex)));
    for (size_t k = 0; k < frames.size(); ++k) {
        const pz4fmt::SaveInput& f = frames[k];
        for (int v = 0; v < f.height; ++v)
            std::copy_n(f.pixels + static_cast<size_t>(f.height - 1 - v) * f.width, f.width,
                        pixels.begin() +
                            static_cast<std::ptrdiff_t>(height - 1 - (places[k].y + v)) * width +
                            places[k].x);
    }
    return pixels;
}

// Four bytes a pixel, rows top-down; see-through between frames.
std::vector<uint8_t> rgbaSheet(const std::vector<pz4fmt::SaveInput>& frames,
                               const std::vector<Place>& places, int width, int height) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    for (size_t k = 0; k < frames.size(); ++k) {
        const pz4fmt::SaveInput& f = frames[k];
        for (int v = 0; v < f.height; ++v)
            for (int u = 0; u < f.width; ++u) {
                const uint8_t p = pixelAt(f, u, v);
                if (p == f.transparentIndex)
                    continue;
                uint8_t* out = rgba.data() + (static_cast<size_t>(places[k].y + v) * width +
                                              static_cast<size_t>(places[k].x + u)) *
                                                 4;
                std::copy_n(f.palette + 3 * static_cast<size_t>(p), 3, out);
                out[3] = 255;
            }
    }
    return rgba;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The descriptor's name without ".json", in any case.
std::string sheetName(const std::string& descriptor) {
    const size_t n = descriptor.size();
    if (n > 5 && descriptor[n - 5] == '.') {
        std::string ext = descriptor.substr(n - 4);
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (ext == "json")
            return descriptor.substr(0, n - 5);
    }
    return descriptor;
}

std::string withoutExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

} // namespace

std::string sheetPicture(const std::string& descriptor) {
    return sheetName(descriptor) + ".png";
}

bool mayWritePicture(const std::string& descriptor) {
    const std::string picture = sheetPicture(descriptor);
    if (std::FILE* existing = std::fopen(picture.c_str(), "rb"))
        std::fclose(existing);
    else
        return true;
    std::vector<uint8_t> old;
    return pz4fmt::readFile(descriptor.c_str(), old, kMaxDescriptorBytes) &&
           pictureNamed(old) == baseName(picture);
}

std::string describeSheet(const std::vector<SheetEntry>& frames, const std::string& image,
                          const char* format, int width, int height) {
    std::string out = "{\"frames\": [\n";
    for (size_t k = 0; k < frames.size(); ++k) {
        const SheetEntry& e = frames[k];
        const Ordered frame = {{"filename", e.name},
                               {"frame", rect(e.x, e.y, e.width, e.height)},
                               {"rotated", false},
                               {"trimmed", false},
                               {"spriteSourceSize", rect(0, 0, e.width, e.height)},
                               {"sourceSize", {{"w", e.width}, {"h", e.height}}},
                               {"duration", e.durationMs}};
        out += "  " + text(frame) + (k + 1 < frames.size() ? ",\n" : "\n");
    }
    Ordered meta = {{"app", "pz4"}, {"version", PZ4_VERSION}, {"image", image}};
    if (format != nullptr)
        meta["format"] = format;
    meta["size"] = {{"w", width}, {"h", height}};
    meta["scale"] = "1";
    return out + "],\n\"meta\": " + text(meta, 2) + "\n}\n";
}

bool encodeSheet(const std::vector<pz4fmt::SaveInput>& frames,
                 const std::vector<std::string>& names, const std::string& image,
                 EncodedSheet& out) {
    if (frames.empty() || frames.size() > kMaxFrames || names.size() != frames.size())
        return false;
    for (const pz4fmt::SaveInput& f : frames)
        if (!pz4fmt::validImageInput(f))
            return false;
    std::vector<Place> places;
    int width = 0, height = 0;
    if (!pack(frames, places, width, height))
        return false;
    const bool indexed = sharePalette(frames);
    if (indexed) {
        const std::vector<uint8_t> pixels = indexedSheet(frames, places, width, height);
        int colours = 1;
        for (const pz4fmt::SaveInput& f : frames)
            colours = std::max(colours, pz4fmt::paletteEntriesFor(f));
        out.picture = pz4png::encodePng({"", pixels.data(), frames[0].palette, width, height,
                                         colours, 0, frames[0].transparentIndex});
    } else {
        out.picture =
            pz4png::encodePngRgba(rgbaSheet(frames, places, width, height).data(), width, height);
    }
    if (out.picture.empty())
        return false;
    std::vector<SheetEntry> entries;
    for (size_t k = 0; k < frames.size(); ++k) {
        const pz4fmt::SaveInput& f = frames[k];
        entries.push_back({names[k], places[k].x, places[k].y, f.width, f.height,
                           f.tag > 0 ? int64_t{f.tag} * 10 : 100});
    }
    out.descriptor = describeSheet(entries, image, indexed ? "I8" : "RGBA8888", width, height);
    return true;
}

bool saveSheet(const std::vector<pz4fmt::SaveInput>& frames) {
    if (frames.empty())
        return false;
    const std::string descriptor = frames[0].fileName;
    const std::string name = sheetName(descriptor);
    const std::string picture = sheetPicture(descriptor);
    std::vector<std::string> names;
    for (const pz4fmt::SaveInput& f : frames)
        names.push_back(withoutExtension(baseName(f.fileName)));
    // An animation's frames all carry its one name: they are told apart by number.
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())
        for (size_t k = 0; k < names.size(); ++k)
            names[k] = baseName(name) + " " + std::to_string(k);
    EncodedSheet sheet;
    if (!mayWritePicture(descriptor) || !encodeSheet(frames, names, baseName(picture), sheet) ||
        !pz4fmt::writeEncoded(picture.c_str(), sheet.picture))
        return false;
    if (!pz4fmt::writeFile(descriptor.c_str(), std::vector<uint8_t>(sheet.descriptor.begin(),
                                                                    sheet.descriptor.end()))) {
        std::remove(picture.c_str()); // a picture without its descriptor is no sheet
        return false;
    }
    return true;
}

} // namespace pz4json
