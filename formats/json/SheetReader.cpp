#include "SheetCodec.h"
#include "png/PngCodec.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <set>
#include <string>

// The tree is parsed with std::map objects: nlohmann's ordered_json looks every
// new key up from the start, and its parser with a callback looks through the whole
// container after every value, either of which makes a sheet of many frames take
// quadratic time. The hash's file order is taken from the parser's key events.

namespace pz4json {
namespace {

using Json = nlohmann::json;

struct Rect {
    int64_t x = 0, y = 0, w = 0, h = 0;
};

struct Entry {
    std::string who; // the frame as a reason names it, "frame 'walk 0'"
    Rect frame;      // in the sheet, top-down; w x h as the frame is shown
    bool rotated = false;
    Rect placed; // where the picture sits inside the full frame
    int64_t fullW = 0, fullH = 0;
    int tag = 10; // 1/100 s, as GIF frames without a delay are taken
};

struct Descriptor {
    std::string image;
    std::vector<Entry> frames;
};

// The tree as nlohmann's own parser builds it, with the nesting capped and the
// names of a hash's frames kept in file order.
class TreeBuilder : public nlohmann::detail::json_sax_dom_parser<Json> {
public:
    TreeBuilder(Json& root, std::vector<std::string>& hashOrder)
        : json_sax_dom_parser(root), hashOrder_(hashOrder) {}
    bool tooDeep = false;

    bool start_object(size_t n) { return deeper() && json_sax_dom_parser::start_object(n); }
    bool start_array(size_t n) { return deeper() && json_sax_dom_parser::start_array(n); }
    bool end_object() {
        --depth_;
        return json_sax_dom_parser::end_object();
    }
    bool end_array() {
        --depth_;
        return json_sax_dom_parser::end_array();
    }
    bool key(std::string& k) {
        if (depth_ == 1) {
            inFrames_ = k == "frames";
            if (inFrames_)
                hashOrder_.clear(); // a second "frames" replaces the first
        } else if (depth_ == 2 && inFrames_) {
            hashOrder_.push_back(k);
        }
        return json_sax_dom_parser::key(k);
    }

private:
    bool deeper() {
        tooDeep = ++depth_ > kMaxDepth;
        return !tooDeep;
    }
    std::vector<std::string>& hashOrder_;
    int depth_ = 0;
    bool inFrames_ = false;
};

bool parseText(const uint8_t* data, size_t size, Json& root, std::vector<std::string>& hashOrder,
               pz4fmt::Failure& why) {
    if (size > kMaxDescriptorBytes)
        return why.fail("descriptor of %zu bytes is larger than %zu MiB", size,
                        kMaxDescriptorBytes >> 20);
    TreeBuilder builder(root, hashOrder);
    try {
        if (!Json::sax_parse(data, data + size, &builder))
            return builder.tooDeep ? why.fail("nested deeper than %d levels", kMaxDepth)
                                   : why.fail("not JSON");
    } catch (const Json::exception& e) { // syntax, and numbers beyond a double
        // Past nlohmann's "[json.exception.parse_error.101] ".
        const char* text = std::strchr(e.what(), ']');
        return why.fail("not JSON: %s", text != nullptr ? text + 2 : e.what());
    }
    return true;
}

// Whole numbers only; 16.0 passes, as some writers put it. Values beyond an int
// stay as they are, so the reason shows what the file claims.
bool wholeNumber(const Json& v, int64_t& out) {
    if (v.is_number_unsigned()) {
        out = static_cast<int64_t>(std::min<uint64_t>(v.get<uint64_t>(), INT64_MAX));
        return true;
    }
    if (v.is_number_integer()) {
        out = v.get<int64_t>();
        return true;
    }
    if (!v.is_number_float())
        return false;
    const double d = v.get<double>();
    if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 1e15)
        return false;
    out = static_cast<int64_t>(d);
    return true;
}

// The value of `key` when `owner` is an object that has it.
const Json* member(const Json& owner, const char* key) {
    if (!owner.is_object())
        return nullptr;
    const auto it = owner.find(key);
    return it == owner.end() ? nullptr : &*it;
}

// One frame's fields; the reason, in why(), says what is wrong without naming the frame.
class EntryReader {
public:
    explicit EntryReader(const Json& entry) : entry_(entry) {}
    const std::string& why() const { return why_.reason(); }

    bool read(Entry& e) {
        if (!entry_.is_object())
            return why_.fail("is not an object");
        if (!rect("frame", true, e.frame) || !flag("rotated", e.rotated))
            return false;
        e.fullW = e.frame.w;
        e.fullH = e.frame.h;
        bool trimmed = false;
        if (!flag("trimmed", trimmed))
            return false;
        Rect full;
        if (trimmed) {
            if (!rect("spriteSourceSize", true, e.placed) || !rect("sourceSize", false, full))
                return false;
            if (e.placed.w != e.frame.w || e.placed.h != e.frame.h)
                return why_.fail("spriteSourceSize is %lldx%lld, the frame %lldx%lld",
                                 ll(e.placed.w), ll(e.placed.h), ll(e.frame.w), ll(e.frame.h));
            if (e.placed.x > full.w - e.placed.w || e.placed.y > full.h - e.placed.h)
                return why_.fail(
                    "trimmed picture at %lld,%lld reaches outside sourceSize %lldx%lld",
                    ll(e.placed.x), ll(e.placed.y), ll(full.w), ll(full.h));
            e.fullW = full.w;
            e.fullH = full.h;
        }
        return duration(e.tag);
    }

private:
    static long long ll(int64_t v) { return static_cast<long long>(v); }

    bool field(const Json& owner, const char* object, const char* key, int64_t& out) {
        const Json* v = member(owner, key);
        if (v == nullptr)
            return why_.fail("%s.%s is missing", object, key);
        if (!wholeNumber(*v, out))
            return why_.fail("%s.%s is not a whole number", object, key);
        return true;
    }
    // {x,y,w,h}, or {w,h} without `placed`: at 0 or beyond, sizes within the caps.
    bool rect(const char* key, bool placed, Rect& r) {
        const Json* v = member(entry_, key);
        if (v == nullptr || !v->is_object())
            return why_.fail("no %s rectangle", key);
        if ((placed && (!field(*v, key, "x", r.x) || !field(*v, key, "y", r.y))) ||
            !field(*v, key, "w", r.w) || !field(*v, key, "h", r.h))
            return false;
        if (r.x < 0 || r.y < 0)
            return why_.fail("%s at %lld,%lld is outside the picture", key, ll(r.x), ll(r.y));
        if (r.w <= 0 || r.h <= 0)
            return why_.fail("%s of %lldx%lld pixels is empty", key, ll(r.w), ll(r.h));
        if (r.w > pz4fmt::kMaxSide || r.h > pz4fmt::kMaxSide)
            return why_.fail("%s of %lldx%lld pixels is larger than %d a side", key, ll(r.w),
                             ll(r.h), pz4fmt::kMaxSide);
        return true;
    }
    bool flag(const char* key, bool& out) {
        const Json* v = member(entry_, key);
        if (v != nullptr && !v->is_boolean())
            return why_.fail("%s is not true or false", key);
        out = v != nullptr && v->get<bool>();
        return true;
    }
    bool duration(int& tag) {
        const Json* v = member(entry_, "duration");
        if (v == nullptr)
            return true;
        if (!v->is_number())
            return why_.fail("duration is not a number");
        const double hundredths = std::floor(v->get<double>() / 10 + 0.5);
        if (hundredths < 0 || hundredths > INT_MAX)
            return why_.fail("duration of %g ms is out of range", v->get<double>());
        tag = static_cast<int>(hundredths);
        return true;
    }

    const Json& entry_;
    pz4fmt::Failure why_;
};

bool readEntry(const Json& f, std::string who, Entry& e, pz4fmt::Failure& why) {
    EntryReader reader(f);
    if (!reader.read(e))
        return why.fail("%s: %s", who.c_str(), reader.why().c_str());
    e.who = std::move(who);
    return true;
}

// Pictures beside the descriptor or below it: a descriptor from elsewhere must not
// reach any other file of the machine.
bool safePictureName(const std::string& name, pz4fmt::Failure& why) {
    if (name.find('\0') != std::string::npos)
        return why.fail("meta.image holds a NUL character");
    if (name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':'))
        return why.fail("meta.image '%s' is an absolute path: only pictures in the descriptor's "
                        "folder or below it are read",
                        name.c_str());
    for (size_t start = 0; start <= name.size();) {
        const size_t end = std::min(name.find_first_of("/\\", start), name.size());
        if (name.compare(start, end - start, "..") == 0)
            return why.fail("meta.image '%s' climbs out of the descriptor's folder", name.c_str());
        start = end + 1;
    }
    return true;
}

std::string pictureName(const Json& root) {
    const Json* meta = member(root, "meta");
    const Json* image = meta != nullptr ? member(*meta, "image") : nullptr;
    return image != nullptr && image->is_string() ? image->get<std::string>() : std::string();
}

bool parseDescriptor(const uint8_t* data, size_t size, Descriptor& d, pz4fmt::Failure& why) {
    Json root;
    std::vector<std::string> hashOrder;
    if (!parseText(data, size, root, hashOrder, why))
        return false;
    if (!root.is_object())
        return why.fail("not a sprite sheet descriptor (no JSON object)");
    d.image = pictureName(root);
    if (d.image.empty())
        return why.fail("no meta.image naming the picture");
    if (!safePictureName(d.image, why))
        return false;
    const Json* frames = member(root, "frames");
    if (frames == nullptr || !(frames->is_object() || frames->is_array()))
        return why.fail("no \"frames\" object or array");
    if (frames->empty())
        return why.fail("no frames listed");
    if (frames->size() > kMaxFrames)
        return why.fail("%zu frames, more than %zu", frames->size(), kMaxFrames);
    d.frames.resize(frames->size());
    if (frames->is_array()) {
        for (size_t k = 0; k < frames->size(); ++k) {
            const Json& f = (*frames)[k];
            const Json* name = member(f, "filename");
            const std::string who = name != nullptr && name->is_string()
                                        ? "frame '" + name->get<std::string>() + "'"
                                        : "frame " + std::to_string(k);
            if (!readEntry(f, who, d.frames[k], why))
                return false;
        }
        return true;
    }
    std::set<std::string> seen; // a name given twice is one frame, its last value
    size_t k = 0;
    for (const std::string& name : hashOrder)
        if (seen.insert(name).second &&
            !readEntry(frames->at(name), "frame '" + name + "'", d.frames[k++], why))
            return false;
    d.frames.resize(k);
    return true;
}

// Sheet pixel (x, y), y counted from the top.
uint8_t at(const pz4fmt::Frame& sheet, int64_t x, int64_t y) {
    return sheet
        .pixels[static_cast<size_t>(sheet.height - 1 - y) * static_cast<size_t>(sheet.width) +
                static_cast<size_t>(x)];
}

bool cutFrames(const Descriptor& d, const pz4fmt::Frame& sheet, pz4fmt::Image& out,
               pz4fmt::Failure& why, size_t cap) {
    out = pz4fmt::Image{};
    // The sheet is held while its frames are cut; every frame is counted before any
    // is made, so a refused sheet takes no memory.
    pz4fmt::DecodeBudget budget(cap);
    if (!budget.take(sheet.width, sheet.height, why))
        return false;
    bool margins = false;
    for (const Entry& e : d.frames) {
        const int64_t storedW = e.rotated ? e.frame.h : e.frame.w;
        const int64_t storedH = e.rotated ? e.frame.w : e.frame.h;
        if (e.frame.x > sheet.width - storedW || e.frame.y > sheet.height - storedH)
            return why.fail("%s: %lldx%lld at %lld,%lld reaches outside the %dx%d picture",
                            e.who.c_str(), static_cast<long long>(storedW),
                            static_cast<long long>(storedH), static_cast<long long>(e.frame.x),
                            static_cast<long long>(e.frame.y), sheet.width, sheet.height);
        pz4fmt::Failure held;
        if (!budget.take(e.fullW, e.fullH, held))
            return why.fail("%s: %s", e.who.c_str(), held.reason().c_str());
        margins = margins || e.fullW != e.frame.w || e.fullH != e.frame.h;
    }
    pz4fmt::Frame model;
    model.hasPalette = sheet.hasPalette;
    model.palette = sheet.palette;
    model.colorCount = sheet.colorCount;
    model.transparentIndex = sheet.transparentIndex;
    if (margins && model.transparentIndex < 0) {
        if (model.colorCount < 256) {
            model.transparentIndex = model.colorCount++;
            std::fill_n(model.palette.begin() + 3 * model.transparentIndex, 3, uint8_t{0});
        } else {
            // A full palette has no entry to spare: entry 0 stands for see-through.
            model.transparentIndex = 0;
        }
    }
    for (const Entry& e : d.frames) {
        pz4fmt::Frame& f = out.frames.emplace_back(model);
        f.width = static_cast<int>(e.fullW);
        f.height = static_cast<int>(e.fullH);
        f.tag = e.tag;
        f.pixels.assign(static_cast<size_t>(f.width) * static_cast<size_t>(f.height),
                        static_cast<uint8_t>(std::max(0, model.transparentIndex)));
        for (int64_t v = 0; v < e.frame.h; ++v)
            for (int64_t u = 0; u < e.frame.w; ++u) {
                // A rotated frame is stored turned a quarter clockwise: its top row
                // runs down the stored rectangle's right-hand column.
                const uint8_t p = e.rotated
                                      ? at(sheet, e.frame.x + e.frame.h - 1 - v, e.frame.y + u)
                                      : at(sheet, e.frame.x + u, e.frame.y + v);
                const int64_t row = f.height - 1 - (e.placed.y + v);
                f.pixels[static_cast<size_t>(row) * static_cast<size_t>(f.width) +
                         static_cast<size_t>(e.placed.x + u)] = p;
            }
    }
    return true;
}

std::string folderOf(const char* path) {
    const std::string p = path != nullptr ? path : "";
#ifdef _WIN32
    const size_t slash = p.find_last_of("/\\");
#else
    const size_t slash = p.find_last_of('/');
#endif
    return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

} // namespace

std::string pictureNamed(const std::vector<uint8_t>& descriptor) {
    Json root;
    std::vector<std::string> hashOrder;
    pz4fmt::Failure ignored;
    if (!parseText(descriptor.data(), descriptor.size(), root, hashOrder, ignored))
        return {};
    return pictureName(root);
}

bool cutSheet(const uint8_t* descriptor, size_t size, const pz4fmt::Frame& sheet,
              pz4fmt::Image& out, pz4fmt::Failure& why, size_t cap) {
    Descriptor d;
    return parseDescriptor(descriptor, size, d, why) && cutFrames(d, sheet, out, why, cap);
}

std::unique_ptr<pz4fmt::FrameSource> openSheet(const char* path, const uint8_t* descriptor,
                                               size_t size, pz4fmt::Failure& why) {
    Descriptor d;
    if (!parseDescriptor(descriptor, size, d, why))
        return nullptr;
    pz4fmt::Image sheet;
    {
        const std::string picture = folderOf(path) + d.image;
        pz4fmt::ByteSource bytes;
        pz4fmt::Failure unread;
        if (!bytes.open(picture.c_str(), pz4fmt::kMaxFileBytes, unread) ||
            !pz4png::decodePng(bytes, sheet, &unread)) {
            why.fail("picture '%s' named by meta.image cannot be read: %s", d.image.c_str(),
                     unread.reason().c_str());
            return nullptr;
        }
    }
    pz4fmt::Image frames;
    if (!cutFrames(d, sheet.frames[0], frames, why, pz4fmt::kMaxHeldBytes))
        return nullptr;
    return std::make_unique<pz4fmt::DecodedFrames>(std::move(frames));
}

} // namespace pz4json
