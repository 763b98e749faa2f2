#include "image/kcImagePng.h"
#include "image/kcByteReader.h"
#include "foundation/kcHeap.h"
#include <climits>
#include <cstring>
#include <png.h>

namespace {

// Library errors jump back into the operation; warnings are dropped.
void PngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// Reads through the bounded reader; a short read is an error, never a silent zero fill.
void ReadData(png_structp png, png_bytep out, size_t n)
{
    kcByteReader* reader = static_cast<kcByteReader*>(png_get_io_ptr(png));
    if (n > UINT_MAX || !reader->Bytes(out, (uint32_t)n)) png_error(png, "short read");
}

// Growing output buffer from the private heap, starting at 1 MiB.
struct PngWriter {
    uint8_t* data;
    uint32_t used;
    uint32_t capacity;
};

void WriteData(png_structp png, png_bytep in, size_t n)
{
    PngWriter* w = static_cast<PngWriter*>(png_get_io_ptr(png));
    if ((uint64_t)w->used + n > w->capacity) {
        uint64_t want = (uint64_t)w->capacity * 2;
        if (want < (uint64_t)w->used + n) want = (uint64_t)w->used + n;
        uint8_t* grown = want <= kcImageMaxBytes ? (uint8_t*)kcHeapAlloc(0, (int)want) : nullptr;
        if (!grown) png_error(png, "out of memory");
        memcpy(grown, w->data, w->used);
        kcHeapRelease(w->data);
        w->data = grown;
        w->capacity = (uint32_t)want;
    }
    memcpy(w->data + w->used, in, n);
    w->used += (uint32_t)n;
}

void FlushData(png_structp) {}

// Row pointers into an image's own rows.
png_bytep* RowPointers(const kcImage* image)
{
    png_bytep* rows = (png_bytep*)kcHeapAlloc(0, image->height * (int)sizeof(png_bytep));
    if (rows) {
        for (int y = 0; y < image->height; ++y) rows[y] = image->pixels + (size_t)y * image->pitch;
    }
    return rows;
}

} // namespace

bool kcImagePng::Load(const MemoryBlock* source, int)
{
    if (!source || !source->data || !source->size) return false;
    kcByteReader reader(source->data, source->size);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        kcHeapRelease(rows);
        return false;
    }
    png_set_read_fn(png, &reader, ReadData);
    png_read_info(png, info);
    png_uint_32 w = 0, h = 0;
    int depth = 0, colour = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &colour, nullptr, nullptr, nullptr);
    png_set_strip_16(png);
    png_set_packswap(png);
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    // Grey samples (with or without alpha) become B = G = R, so every row has 3 or 4 bytes a pixel.
    if (!(colour & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_set_bgr(png);
    png_read_update_info(png, info);
    png_get_IHDR(png, info, &w, &h, &depth, &colour, nullptr, nullptr, nullptr);
    const int bpp = colour == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3;
    bool ok = w <= INT_MAX && h <= INT_MAX && png_get_rowbytes(png, info) == (size_t)w * bpp &&
              SetupPixels((int)w, (int)h, bpp, 4) != nullptr;
    if (ok) rows = RowPointers(this);
    if (rows) {
        png_read_image(png, rows);
        png_read_end(png, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    kcHeapRelease(rows);
    if (!rows) return false;
    canvasWidth = width;
    canvasHeight = height;
    offsetX = offsetY = 0;
    return true;
}

bool kcImagePng::Save(MemoryBlock* destination, int, int, int, int)
{
    if (!destination) return false;
    if (cropOnSave) {
        kcImageRect r;
        if (GetOpaqueBounds(&r)) {
            if (r.right <= r.left || r.bottom <= r.top) r = kcImageRect{0, 0, 2, 2};
            Crop(&r);
        }
    }
    // 1- and 2-byte pixels have no PNG colour type here: refuse rather than write garbage.
    if (!pixels || (bytesPerPixel != 3 && bytesPerPixel != 4) || width <= 0 || height <= 0) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    PngWriter writer = {(uint8_t*)kcHeapAlloc(0, 0x100000), 0, 0x100000};
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        kcHeapRelease(rows);
        kcHeapRelease(writer.data);
        return false;
    }
    if (!writer.data) png_error(png, "out of memory");
    png_set_write_fn(png, &writer, WriteData, FlushData);
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8,
                 bytesPerPixel == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    rows = RowPointers(this);
    if (!rows) png_error(png, "out of memory");
    png_set_bgr(png);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    kcHeapRelease(rows);

    MemoryBlock out;
    bool ok = out.Allocate(writer.used) != nullptr;
    if (ok) {
        memcpy(out.data, writer.data, writer.used);
        memset(out.data + writer.used, 0, out.size - writer.used);
        destination->Free();
        *destination = out;
    }
    kcHeapRelease(writer.data);
    return ok;
}

bool kcImagePng::Probe(const MemoryBlock* block)
{
    if (!block || !block->data || !block->size) return false;
    return png_sig_cmp(block->data, 0, block->size < 8 ? block->size : 8) == 0;
}
