#include "JpegCodec.h"
#include "common/Palettise.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

// libjpeg reports errors by calling error_exit, which must not return: it jumps
// back to the setjmp in runDecode. That function owns no object with a
// destructor and reads nothing it changed once the jump has come back; the
// decompressor is released by its owner one frame further out.

namespace pz4jpeg {

namespace {

constexpr int kGreyLevels = 256;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings about damaged entropy data still give a picture, as other viewers show
// it; a file that ends early does not, since its missing rows would be made up.
void onMessage(j_common_ptr cinfo, int level) {
    if (level == -1 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message, "file cut short");
        std::longjmp(err->jump, 1);
    }
}

void silent(j_common_ptr) {}

struct Decompressor {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    bool created = false;
    Decompressor() = default;
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    ~Decompressor() {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
};

struct DecodeJob {
    DecodeJob(Decompressor* d, const uint8_t* data, size_t size, size_t cap, pz4fmt::Failure* why)
        : d(d), data(data), size(size), cap(cap), why(why) {}
    Decompressor* d;
    const uint8_t* data;
    size_t size;
    size_t cap;
    pz4fmt::Failure* why;
    int width = 0, height = 0;
    bool grey = false;
    std::vector<uint8_t> rows; // top-down: RGBA, or one grey level a pixel
    bool refused = false;      // a refusal of ours, its reason in `why`
};

bool runDecode(DecodeJob* job) {
    jpeg_decompress_struct& cinfo = job->d->cinfo;
    if (setjmp(job->d->err.jump))
        return false;
    jpeg_create_decompress(&cinfo);
    job->d->created = true;
    cinfo.mem->max_memory_to_use = static_cast<long>(job->cap);
    jpeg_mem_src(&cinfo, job->data, static_cast<unsigned long>(job->size));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    pz4fmt::DecodeBudget budget(job->cap);
    if (!budget.take(cinfo.image_width, cinfo.image_height, *job->why,
                     pz4fmt::kTruecolourBytesPerPixel)) {
        job->refused = true;
        return false;
    }
    switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        cinfo.out_color_space = JCS_GRAYSCALE;
        job->grey = true;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        job->refused = true;
        return job->why->fail("CMYK pictures are not supported");
    default:
        cinfo.out_color_space = JCS_EXT_RGBA;
        break;
    }
    jpeg_start_decompress(&cinfo);
    job->width = static_cast<int>(cinfo.output_width);
    job->height = static_cast<int>(cinfo.output_height);
    const size_t rowBytes =
        static_cast<size_t>(cinfo.output_width) * static_cast<size_t>(cinfo.output_components);
    // Rows are taken as they come, so a file that claims a large picture and ends
    // at once never has the whole of it allocated.
    while (cinfo.output_scanline < cinfo.output_height) {
        const size_t at = cinfo.output_scanline;
        job->rows.resize(rowBytes * (at + 1));
        JSAMPROW row = job->rows.data() + rowBytes * at;
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) {
            job->refused = true;
            return job->why->fail("file cut short in row %zu", at);
        }
    }
    return true;
}

uint16_t get16(const uint8_t* p, bool big) {
    return big ? static_cast<uint16_t>(p[0] << 8 | p[1]) : pz4fmt::le16(p);
}
uint32_t get32(const uint8_t* p, bool big) {
    return big ? (static_cast<uint32_t>(get16(p, true)) << 16) | get16(p + 2, true)
               : pz4fmt::le32(p);
}

// Turns a bottom-up frame as an EXIF orientation says: 2 mirrors it, 3 turns it
// half round, 4 flips it, 5 transposes, 6 turns it a quarter clockwise, 7
// transverses, 8 turns it a quarter anticlockwise.
void orient(pz4fmt::Frame& f, int orientation) {
    if (orientation <= 1 || orientation > 8)
        return;
    const int w = f.width, h = f.height;
    const bool swaps = orientation >= 5;
    const int ow = swaps ? h : w, oh = swaps ? w : h;
    pz4fmt::PixelBuffer out;
    out.resizeForOverwrite(f.pixels.size());
    // Coordinates from the top, as the orientations are defined.
    auto source = [&](int x, int y) {
        int sx = x, sy = y;
        switch (orientation) {
        case 2:
            sx = w - 1 - x;
            break;
        case 3:
            sx = w - 1 - x, sy = h - 1 - y;
            break;
        case 4:
            sy = h - 1 - y;
            break;
        case 5:
            sx = y, sy = x;
            break;
        case 6:
            sx = y, sy = h - 1 - x;
            break;
        case 7:
            sx = w - 1 - y, sy = h - 1 - x;
            break;
        case 8:
            sx = w - 1 - y, sy = x;
            break;
        }
        return f.pixels[static_cast<size_t>(h - 1 - sy) * static_cast<size_t>(w) +
                        static_cast<size_t>(sx)];
    };
    for (int y = 0; y < oh; ++y) {
        uint8_t* row = out.data() + static_cast<size_t>(oh - 1 - y) * static_cast<size_t>(ow);
        for (int x = 0; x < ow; ++x)
            row[x] = source(x, y);
    }
    f.pixels = std::move(out);
    f.width = ow;
    f.height = oh;
}

} // namespace

int exifOrientation(const uint8_t* app1, size_t size) {
    static const uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (app1 == nullptr || size < 6 + 8 || std::memcmp(app1, kExif, 6) != 0)
        return 1;
    const uint8_t* tiff = app1 + 6;
    const size_t n = size - 6;
    const bool big = tiff[0] == 'M' && tiff[1] == 'M';
    if (!big && !(tiff[0] == 'I' && tiff[1] == 'I'))
        return 1;
    if (get16(tiff + 2, big) != 42)
        return 1;
    const uint32_t ifd = get32(tiff + 4, big);
    if (ifd > n || n - ifd < 2)
        return 1;
    const size_t entries = get16(tiff + ifd, big);
    for (size_t k = 0; k < entries; ++k) {
        const size_t at = ifd + 2 + 12 * k;
        if (at + 12 > n)
            return 1;
        const uint8_t* e = tiff + at;
        constexpr uint16_t kOrientation = 0x0112, kShort = 3;
        if (get16(e, big) == kOrientation && get16(e + 2, big) == kShort &&
            get32(e + 4, big) == 1) {
            const int v = get16(e + 8, big);
            return v >= 1 && v <= 8 ? v : 1;
        }
    }
    return 1;
}

bool decodeJpeg(const uint8_t* data, size_t size, pz4fmt::Image& out, pz4fmt::Failure* why,
                size_t maxHeldBytes) {
    out = pz4fmt::Image{};
    pz4fmt::Failure ignored;
    pz4fmt::Failure& w = why != nullptr ? *why : ignored;
    if (data == nullptr || size < 4)
        return w.fail("file of %zu bytes is too short for a JPEG picture", data ? size : 0);
    Decompressor d;
    d.cinfo.err = jpeg_std_error(&d.err.pub);
    d.err.pub.error_exit = onError;
    d.err.pub.emit_message = onMessage;
    d.err.pub.output_message = silent;
    DecodeJob job(&d, data, size, maxHeldBytes, &w);
    if (!runDecode(&job)) {
        if (!job.refused)
            w.fail("%s", d.err.message);
        return false;
    }
    int orientation = 1;
    for (jpeg_saved_marker_ptr m = d.cinfo.marker_list; m != nullptr; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && orientation == 1)
            orientation = exifOrientation(m->data, m->data_length);

    pz4fmt::Frame f;
    if (job.grey) {
        f.width = job.width;
        f.height = job.height;
        // The file runs top-down, the frame bottom-up.
        const size_t w = static_cast<size_t>(f.width);
        f.pixels.resizeForOverwrite(job.rows.size());
        for (size_t y = 0; y < static_cast<size_t>(f.height); ++y)
            std::memcpy(f.pixels.data() + (static_cast<size_t>(f.height) - 1 - y) * w,
                        job.rows.data() + y * w, w);
        for (int k = 0; k < kGreyLevels; ++k)
            std::fill_n(f.palette.begin() + 3 * k, 3, static_cast<uint8_t>(k));
        f.colorCount = kGreyLevels;
        f.hasPalette = true;
    } else if (!pz4fmt::palettise(job.rows.data(), job.width, job.height, pz4fmt::Rgb{}, f, w)) {
        return false;
    }
    orient(f, orientation);
    out.frames.push_back(std::move(f));
    return true;
}

bool decodeJpeg(const uint8_t* data, size_t size, pz4fmt::Image& out, pz4fmt::Failure* why) {
    return decodeJpeg(data, size, out, why, pz4fmt::kMaxHeldBytes);
}

} // namespace pz4jpeg
