#include "PngCodec.h"
#include "common/Palettise.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>

// libpng reports errors by longjmp. Each setjmp below sits in a function that
// owns no object with a destructor and reads nothing it changed after setjmp
// once the jump has come back; the libpng structs are released by RAII owners
// one frame further out.

namespace pz4png {

namespace {

constexpr size_t kMaxDeflateRatio = 1032;
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t{8} << 20;
// Five bytes a name: four letters and the terminating zero.
constexpr png_byte kSkippedChunks[] = "iCCP\0iTXt\0tEXt\0zTXt\0sPLT\0eXIf";

// libpng's own words on a failed read, filled inside its callbacks, where
// nothing may throw. Some errors only sum up the warnings before them
// ("Invalid IHDR data"), so the last warning is kept too.
struct LibpngError {
    char text[128] = {};
    char lastWarning[128] = {};
};

void copyMessage(char (&to)[128], png_const_charp message) {
    if (message == nullptr)
        return;
    std::strncpy(to, message, sizeof to - 1);
    to[sizeof to - 1] = '\0';
}

[[noreturn]] void onError(png_structp png, png_const_charp message) {
    if (auto* error = static_cast<LibpngError*>(png_get_error_ptr(png)))
        copyMessage(error->text, message);
    png_longjmp(png, 1);
}
void onWarning(png_structp png, png_const_charp message) {
    if (auto* error = static_cast<LibpngError*>(png_get_error_ptr(png)))
        copyMessage(error->lastWarning, message);
}

// Where libpng takes the file's bytes from: a window over the source, all of it when
// the file is in memory, else reads of kWindow bytes, so libpng's many small reads
// cost no system call each and each byte of the file is read once.
struct SourceReader {
    static constexpr size_t kWindow = size_t{64} << 10;
    explicit SourceReader(pz4fmt::ByteSource& source) : in(&source) {}
    pz4fmt::ByteSource* in;
    uint64_t windowEnd = 0; // of the file, where the window ends
    const uint8_t* window = nullptr;
    size_t windowLeft = 0;
    pz4fmt::MemoryBlock scratch;
    pz4fmt::Failure readError;
};

void readFromSource(png_structp png, png_bytep out, size_t n) {
    auto* r = static_cast<SourceReader*>(png_get_io_ptr(png));
    while (n > 0) {
        if (r->windowLeft == 0) {
            const uint64_t left = r->in->size() - r->windowEnd;
            if (left == 0)
                png_error(png, "file cut short");
            const size_t take =
                r->in->inMemory()
                    ? static_cast<size_t>(left)
                    : static_cast<size_t>(std::min<uint64_t>(left, SourceReader::kWindow));
            r->window = r->in->view(r->windowEnd, take, r->scratch, r->readError);
            if (r->window == nullptr)
                png_error(png, r->readError.reason().c_str());
            r->windowLeft = take;
            r->windowEnd += take;
        }
        const size_t k = std::min(n, r->windowLeft);
        std::memcpy(out, r->window, k);
        r->window += k;
        r->windowLeft -= k;
        out += k;
        n -= k;
    }
}

struct ReadStructs {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    ReadStructs() = default;
    ReadStructs(const ReadStructs&) = delete;
    ReadStructs& operator=(const ReadStructs&) = delete;
    ~ReadStructs() {
        if (png != nullptr)
            png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    }
};

struct ReadJob {
    png_structp png;
    png_infop info;
    SourceReader reader;
    pz4fmt::Frame* frame;
    pz4fmt::Failure* why;
    LibpngError error;
    pz4fmt::PixelBuffer rgba; // colour and alpha images before they are palettised
};

// A colour of the file's bKGD chunk, stored at the file's depth.
uint8_t backgroundSample(png_uint_16 v, int depth) {
    return depth == 16 ? pz4fmt::scale16(v) : static_cast<uint8_t>(v);
}

// Sets the transformations that turn the stored samples into one index per
// pixel and fills in the frame's palette: palette images keep theirs, grey ones
// are shown through a grey ramp.
bool choosePalette(png_structp png, png_infop info, pz4fmt::Frame& f, pz4fmt::Failure& why) {
    const int depth = png_get_bit_depth(png, info);
    const int colourType = png_get_color_type(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp entries = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &entries, &count) == 0)
            return why.fail("palette image without a PLTE chunk");
        if (count <= 0 || count > 256)
            return why.fail("PLTE with %d entries", count);
        for (int k = 0; k < count; ++k) {
            f.palette[3 * k] = entries[k].red;
            f.palette[3 * k + 1] = entries[k].green;
            f.palette[3 * k + 2] = entries[k].blue;
        }
        f.colorCount = count;
    } else {
        // The grey levels become the palette: 2, 4, 16 or 256 steps from black to white.
        if (depth == 16)
            png_set_strip_16(png);
        const int levels = 1 << std::min(depth, 8);
        for (int k = 0; k < levels; ++k)
            std::fill_n(f.palette.begin() + 3 * k, 3, static_cast<uint8_t>(k * 255 / (levels - 1)));
        f.colorCount = levels;
    }
    if (depth < 8)
        png_set_packing(png);
    f.hasPalette = true;
    return true;
}

// Colour and alpha images come out as 8-bit RGBA, ready for the palettising
// step; the result is the colour see-through pixels are shown with.
pz4fmt::Rgb chooseRgba(png_structp png, png_infop info) {
    const int depth = png_get_bit_depth(png, info);
    const int colourType = png_get_color_type(png, info);
    pz4fmt::Rgb background;
    png_color_16p bkgd = nullptr;
    if (png_get_bKGD(png, info, &bkgd) != 0 && bkgd != nullptr) {
        if (colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
            background.r = background.g = background.b = backgroundSample(bkgd->gray, depth);
        else
            background = {backgroundSample(bkgd->red, depth), backgroundSample(bkgd->green, depth),
                          backgroundSample(bkgd->blue, depth)};
    }
    if (depth == 16)
        png_set_scale_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    // An RGB image's tRNS names one colour that is see-through.
    if (colourType == PNG_COLOR_TYPE_RGB && png_get_valid(png, info, PNG_INFO_tRNS) != 0)
        png_set_tRNS_to_alpha(png);
    else if (colourType == PNG_COLOR_TYPE_RGB)
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    return background;
}

// The transparent colour of a palette or grey image, from its tRNS chunk: the
// first entry with alpha below the see-through edge (for grey up to 8 bits, the
// level the chunk names). Pixels of any other see-through entry are folded into
// it, since their colour is never seen; entries of partial but higher alpha stay
// opaque, as the program shows every colour at full strength.
void applyTransparency(png_structp png, png_infop info, pz4fmt::Frame& f) {
    if (png_get_valid(png, info, PNG_INFO_tRNS) == 0)
        return;
    png_bytep alphas = nullptr;
    int count = 0;
    png_color_16p key = nullptr;
    if (png_get_tRNS(png, info, &alphas, &count, &key) == 0)
        return;
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE) {
        std::array<bool, 256> seeThrough{};
        for (int k = 0; k < std::min(count, 256) && alphas != nullptr; ++k) {
            if (alphas[k] >= pz4fmt::kOpaqueFrom)
                continue;
            seeThrough[static_cast<size_t>(k)] = true;
            if (f.transparentIndex < 0)
                f.transparentIndex = k;
        }
        if (f.transparentIndex < 0)
            return;
        const auto t = static_cast<uint8_t>(f.transparentIndex);
        for (uint8_t& p : f.pixels)
            if (seeThrough[p])
                p = t;
    } else if (png_get_bit_depth(png, info) <= 8 && key != nullptr && key->gray < f.colorCount) {
        f.transparentIndex = key->gray;
    }
}

bool isTruecolour(int colourType) {
    return colourType == PNG_COLOR_TYPE_RGB || colourType == PNG_COLOR_TYPE_RGB_ALPHA ||
           colourType == PNG_COLOR_TYPE_GRAY_ALPHA;
}

bool readRows(ReadJob* job) {
    png_structp png = job->png;
    png_infop info = job->info;
    pz4fmt::Frame& f = *job->frame;
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const size_t storedBits = static_cast<size_t>(png_get_bit_depth(png, info)) *
                              static_cast<size_t>(png_get_channels(png, info));
    const bool truecolour = isTruecolour(png_get_color_type(png, info));
    pz4fmt::DecodeBudget budget;
    if (!budget.take(width, height, *job->why, truecolour ? pz4fmt::kTruecolourBytesPerPixel : 1))
        return false;
    pz4fmt::Rgb background;
    if (truecolour)
        background = chooseRgba(png, info);
    else if (!choosePalette(png, info, f, *job->why))
        return false;
    const size_t bytesPerPixel = truecolour ? 4 : 1;
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != width * bytesPerPixel)
        return job->why->fail("rows of %zu bytes for %u pixels", png_get_rowbytes(png, info),
                              static_cast<unsigned>(width));
    // Deflate packs at most 1032 bytes into one: a file too short to hold its
    // rows is refused before their memory is taken.
    const size_t storedRow = 1 + (static_cast<size_t>(width) * storedBits + 7) / 8;
    const auto fileSize = static_cast<size_t>(job->reader.in->size());
    if (storedRow * height / kMaxDeflateRatio > fileSize)
        return job->why->fail("file of %zu bytes is too short for %u rows", fileSize,
                              static_cast<unsigned>(height));
    f.width = static_cast<int>(width);
    f.height = static_cast<int>(height);
    const size_t row = static_cast<size_t>(width) * bytesPerPixel;
    // Every pass together writes every pixel.
    pz4fmt::PixelBuffer& rows = truecolour ? job->rgba : f.pixels;
    rows.resizeForOverwrite(row * height);
    // Each pass of an interlaced image fills in its own pixels of the rows it
    // is given, so the passes build up in place. The file runs top-down; indices
    // are stored bottom-up at once, RGBA top-down as the palettising step takes it.
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, rows.data() + (truecolour ? y : height - 1 - y) * row, nullptr);
    if (truecolour)
        return pz4fmt::palettise(job->rgba.data(), f.width, f.height, background, f, *job->why);
    applyTransparency(png, info, f);
    return true;
}

bool runRead(ReadJob* job) {
    png_set_error_fn(job->png, &job->error, onError, onWarning);
    if (setjmp(png_jmpbuf(job->png)))
        return false;
    png_set_read_fn(job->png, &job->reader, readFromSource);
    png_set_user_limits(job->png, pz4fmt::kMaxSide, pz4fmt::kMaxSide);
    // libpng takes a chunk's memory as its length field claims it, before
    // reading it: capped, so a few bytes claiming a gigabyte of text fail at
    // once. The pixel data is exempt and checked against the picture size.
    png_set_chunk_malloc_max(job->png, kMaxChunkBytes);
    // Text, profiles and metadata are never shown; skipping them is cheaper and safer.
    png_set_keep_unknown_chunks(job->png, PNG_HANDLE_CHUNK_NEVER, kSkippedChunks,
                                static_cast<int>(sizeof kSkippedChunks / 5));
#ifdef PZ4_PNG_IGNORE_CRC
    // Fuzzing only: let mutated chunks reach the decoder instead of the checksum test.
    png_set_crc_action(job->png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
    return readRows(job);
}

struct WriteSink {
    std::vector<uint8_t> bytes;
    bool failed = false;
};

void writeToMemory(png_structp png, png_bytep data, size_t n) {
    auto* sink = static_cast<WriteSink*>(png_get_io_ptr(png));
    // No longjmp from inside a handler: the failure is noted and checked at the end.
    try {
        sink->bytes.insert(sink->bytes.end(), data, data + n);
    } catch (...) {
        sink->failed = true;
    }
}
void flushMemory(png_structp) {}

struct WriteStructs {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    WriteStructs() = default;
    WriteStructs(const WriteStructs&) = delete;
    WriteStructs& operator=(const WriteStructs&) = delete;
    ~WriteStructs() {
        if (png != nullptr)
            png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    }
};

// A palette image (`frame` set) or an RGBA one (`rgba` set, rows top-down).
struct WriteJob {
    png_structp png;
    png_infop info;
    WriteSink* sink;
    int width, height;
    const pz4fmt::SaveInput* frame;
    const uint8_t* rgba;
    png_color colours[256];
    int entries;
    png_byte alpha[256]; // the tRNS entries, up to the see-through one
    int alphaEntries;
};

bool runWrite(WriteJob* job) {
    if (setjmp(png_jmpbuf(job->png)))
        return false;
    png_structp png = job->png;
    png_set_write_fn(png, job->sink, writeToMemory, flushMemory);
    png_set_IHDR(png, job->info, static_cast<png_uint_32>(job->width),
                 static_cast<png_uint_32>(job->height), 8,
                 job->rgba ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job->rgba == nullptr)
        png_set_PLTE(png, job->info, job->colours, job->entries);
    // The transparent colour goes out as the one see-through entry of tRNS.
    if (job->alphaEntries > 0)
        png_set_tRNS(png, job->info, job->alpha, job->alphaEntries, nullptr);
    png_write_info(png, job->info);
    const size_t w = static_cast<size_t>(job->width);
    for (int y = 0; y < job->height; ++y)
        png_write_row(png, job->rgba
                               ? job->rgba + static_cast<size_t>(y) * w * 4
                               : job->frame->pixels + static_cast<size_t>(job->height - 1 - y) * w);
    png_write_end(png, nullptr);
    return true;
}

std::vector<uint8_t> writeImage(WriteJob& job, WriteStructs& structs, WriteSink& sink) {
    if (structs.info == nullptr)
        return {};
    job.png = structs.png;
    job.info = structs.info;
    job.sink = &sink;
    if (!runWrite(&job) || sink.failed)
        return {};
    return std::move(sink.bytes);
}

} // namespace

bool decodePng(pz4fmt::ByteSource& in, pz4fmt::Image& out, pz4fmt::Failure* why) {
    out = pz4fmt::Image{};
    pz4fmt::Failure ignored;
    pz4fmt::Failure& w = why != nullptr ? *why : ignored;
    pz4fmt::MemoryBlock signatureBytes;
    const uint8_t* signature = in.size() < 8 ? nullptr : in.view(0, 8, signatureBytes, w);
    if (signature == nullptr)
        return w.fail("file of %zu bytes is shorter than a PNG signature",
                      static_cast<size_t>(in.size()));
    if (png_sig_cmp(signature, 0, 8) != 0)
        return w.fail("not a PNG file (no PNG signature)");
    ReadStructs structs;
    if (structs.info == nullptr)
        return w.fail("out of memory");
    pz4fmt::Frame frame;
    ReadJob job{structs.png, structs.info, SourceReader(in), &frame, &w, {}, {}};
    if (!runRead(&job)) {
        // A refusal of libpng's own comes with its words; one of ours is recorded already.
        if (job.error.text[0] != '\0' && job.error.lastWarning[0] != '\0')
            w.fail("%s (%s)", job.error.text, job.error.lastWarning);
        else if (job.error.text[0] != '\0')
            w.fail("%s", job.error.text);
        return false;
    }
    out.frames.push_back(std::move(frame));
    return true;
}

bool decodePng(const uint8_t* data, size_t size, pz4fmt::Image& out, pz4fmt::Failure* why) {
    pz4fmt::ByteSource in(data, data != nullptr ? size : 0);
    return decodePng(in, out, why);
}

std::vector<uint8_t> encodePng(const pz4fmt::SaveInput& in) {
    if (!pz4fmt::validImageInput(in))
        return {};
    WriteStructs structs;
    WriteSink sink;
    WriteJob job{};
    job.width = in.width;
    job.height = in.height;
    job.frame = &in;
    // Entries up to the transparent one at least, so tRNS can name it.
    job.entries = std::max(pz4fmt::paletteEntriesFor(in), std::min(in.transparentIndex + 1, 256));
    for (int k = 0; k < job.entries; ++k)
        job.colours[k] = png_color{in.palette[3 * k], in.palette[3 * k + 1], in.palette[3 * k + 2]};
    if (in.transparentIndex >= 0 && in.transparentIndex < job.entries) {
        job.alphaEntries = in.transparentIndex + 1;
        std::fill_n(job.alpha, job.alphaEntries, png_byte{255});
        job.alpha[in.transparentIndex] = 0;
    }
    return writeImage(job, structs, sink);
}

std::vector<uint8_t> encodePngRgba(const uint8_t* rgba, int width, int height) {
    if (rgba == nullptr || width <= 0 || height <= 0 || width > pz4fmt::kMaxSide ||
        height > pz4fmt::kMaxSide)
        return {};
    WriteStructs structs;
    WriteSink sink;
    WriteJob job{};
    job.width = width;
    job.height = height;
    job.rgba = rgba;
    return writeImage(job, structs, sink);
}

} // namespace pz4png
