#include "image/kcImageJpeg.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include <csetjmp>
#include <cstdio>
#include <cstring>
extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace {

// libjpeg's error exit must not end the process: it jumps back into the operation.
struct JpegError {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

void Quiet(j_common_ptr) {}

jpeg_error_mgr* InitError(JpegError* error)
{
    jpeg_std_error(&error->pub);
    error->pub.error_exit = ErrorExit;
    error->pub.output_message = Quiet;
    return &error->pub;
}

// Memory source: the whole block; past its end the decoder is given an end-of-image marker.
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void SourceNothing(j_decompress_ptr) {}

boolean SourceFill(j_decompress_ptr cinfo)
{
    cinfo->src->next_input_byte = kEndOfImage;
    cinfo->src->bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
}

void SourceSkip(j_decompress_ptr cinfo, long count)
{
    jpeg_source_mgr* src = cinfo->src;
    if (count <= 0) return;
    size_t n = (size_t)count < src->bytes_in_buffer ? (size_t)count : src->bytes_in_buffer;
    src->next_input_byte += n;
    src->bytes_in_buffer -= n;
}

void AttachSource(j_decompress_ptr cinfo, jpeg_source_mgr* src, const uint8_t* data, uint32_t size)
{
    src->next_input_byte = data;
    src->bytes_in_buffer = size;
    src->init_source = SourceNothing;
    src->fill_input_buffer = SourceFill;
    src->skip_input_data = SourceSkip;
    src->resync_to_restart = jpeg_resync_to_restart;
    src->term_source = SourceNothing;
    cinfo->src = src;
}

// Memory destination: 4096-byte work buffer appended to one fixed output buffer.
const size_t kWorkBytes = 4096;

struct JpegDestination {
    jpeg_destination_mgr pub;
    JOCTET* work;
    uint8_t* out;
    uint32_t capacity;
    uint32_t used;
};

void Append(j_compress_ptr cinfo, size_t n)
{
    JpegDestination* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
    if ((uint64_t)dest->used + n >= dest->capacity) ERREXIT(cinfo, JERR_BUFFER_SIZE);
    memcpy(dest->out + dest->used, dest->work, n);
    dest->used += (uint32_t)n;
    dest->pub.next_output_byte = dest->work;
    dest->pub.free_in_buffer = kWorkBytes;
}

void DestinationInit(j_compress_ptr cinfo)
{
    JpegDestination* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
    dest->work = (JOCTET*)(*cinfo->mem->alloc_small)((j_common_ptr)cinfo, JPOOL_IMAGE, kWorkBytes);
    dest->pub.next_output_byte = dest->work;
    dest->pub.free_in_buffer = kWorkBytes;
}

boolean DestinationEmpty(j_compress_ptr cinfo)
{
    Append(cinfo, kWorkBytes);
    return TRUE;
}

void DestinationTerm(j_compress_ptr cinfo)
{
    Append(cinfo, kWorkBytes - cinfo->dest->free_in_buffer);
}

// What kcImage logs when it cannot reserve pixels.
const char kNoPixelMemory[] = "ピクセルイメージ用バッファの確保に失敗しました";

// Where decoded rows go: asked once the size is known; null refuses the picture.
struct JpegTarget {
    virtual uint8_t* Open(int width, int height, int* pitch, int* bytesPerPixel) = 0;
};

// Reads the header (and with a target the whole picture). The caller's objects with destructors
// stay outside this function: longjmp may leave it.
bool RunDecoder(const uint8_t* data, uint32_t size, JpegTarget* target)
{
    if (!data || size < 11 || data[0] != 0xFF || data[1] != 0xD8) return false;
    jpeg_decompress_struct cinfo;
    JpegError error;
    jpeg_source_mgr source;
    uint8_t* volatile row = nullptr;
    cinfo.err = InitError(&error);
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        kcHeapRelease(row);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    AttachSource(&cinfo, &source, data, size);
    bool ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK;
    // Refused before the decoder's own buffers: a progressive picture gets coefficient buffers
    // for the whole declared size when decoding starts.
    if (ok && target && static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height * 3 > kcImageMaxBytes) {
        kcLog(kNoPixelMemory);
        ok = false;
    }
    if (ok && target) {
        cinfo.out_color_space = JCS_RGB;
        cinfo.dct_method = JDCT_IFAST;
        cinfo.do_fancy_upsampling = FALSE;
        cinfo.two_pass_quantize = FALSE;
        cinfo.dither_mode = JDITHER_ORDERED;
        cinfo.desired_number_of_colors = 216;
        cinfo.quantize_colors = FALSE;
        cinfo.output_components = 3;
        jpeg_start_decompress(&cinfo);
        int pitch = 0, bpp = 0;
        const int width = (int)cinfo.output_width;
        uint8_t* dst = nullptr;
        if (cinfo.output_components == 3) dst = target->Open(width, (int)cinfo.output_height, &pitch, &bpp);
        if (dst) row = (uint8_t*)kcHeapAlloc(0, width * 3);
        ok = row != nullptr;
        while (ok && cinfo.output_scanline < cinfo.output_height) {
            uint8_t* out = dst + (size_t)cinfo.output_scanline * pitch;
            JSAMPROW rows[1] = {row};
            if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) {
                ok = false;
                break;
            }
            if (bpp == 3) {
                memcpy(out, row, (size_t)width * 3);
            } else {
                for (int x = 0; x < width; ++x, out += 4) {
                    out[0] = row[x * 3];
                    out[1] = row[x * 3 + 1];
                    out[2] = row[x * 3 + 2];
                    out[3] = 255;
                }
            }
        }
        if (ok) jpeg_finish_decompress(&cinfo);
    }
    jpeg_destroy_decompress(&cinfo);
    kcHeapRelease(row);
    return ok;
}

struct ImageTarget : JpegTarget {
    kcImage* image;
    uint8_t* Open(int width, int height, int* pitch, int* bytesPerPixel) override
    {
        uint8_t* p = image->SetupPixels(width, height, 3, 4);
        *pitch = image->pitch;
        *bytesPerPixel = 3;
        return p;
    }
};

struct CallerTarget : JpegTarget {
    uint8_t* pixels;
    int width, height, pitch, bytesPerPixel;
    uint8_t* Open(int w, int h, int* outPitch, int* outBpp) override
    {
        if (w != width || h != height) return nullptr;
        *outPitch = pitch;
        *outBpp = bytesPerPixel;
        return pixels;
    }
};

// Encodes rows of 3 (RGB) or 4 (CMYK) components into out; returns the bytes written or 0.
uint32_t RunEncoder(const uint8_t* pixels, int width, int height, int pitch, int components, int quality,
                    uint8_t* out, uint32_t capacity)
{
    jpeg_compress_struct cinfo;
    JpegError error;
    JpegDestination dest;
    cinfo.err = InitError(&error);
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&cinfo);
        return 0;
    }
    jpeg_create_compress(&cinfo);
    cinfo.image_width = (JDIMENSION)width;
    cinfo.image_height = (JDIMENSION)height;
    cinfo.input_components = components;
    cinfo.in_color_space = components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    dest.pub.init_destination = DestinationInit;
    dest.pub.empty_output_buffer = DestinationEmpty;
    dest.pub.term_destination = DestinationTerm;
    dest.work = nullptr;
    dest.out = out;
    dest.capacity = capacity;
    dest.used = 0;
    cinfo.dest = &dest.pub;
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {const_cast<uint8_t*>(pixels) + (size_t)cinfo.next_scanline * pitch};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return dest.used;
}

} // namespace

bool kcJpegDecodeTo(const uint8_t* data, uint32_t size, uint8_t* pixels, int width, int height, int pitch,
                    int bytesPerPixel)
{
    if (!pixels || width <= 0 || height <= 0 || (bytesPerPixel != 3 && bytesPerPixel != 4) ||
        pitch < width * bytesPerPixel)
        return false;
    CallerTarget target;
    target.pixels = pixels;
    target.width = width;
    target.height = height;
    target.pitch = pitch;
    target.bytesPerPixel = bytesPerPixel;
    return RunDecoder(data, size, &target);
}

bool kcImageJpeg::Load(const MemoryBlock* source, int)
{
    if (!source) return false;
    ImageTarget target;
    target.image = this;
    if (!RunDecoder(source->data, source->size, &target)) return false;
    canvasWidth = width;
    canvasHeight = height;
    offsetX = offsetY = 0;
    return true;
}

bool kcImageJpeg::Probe(const MemoryBlock* block)
{
    return block && RunDecoder(block->data, block->size, nullptr);
}

bool kcImageJpeg::Save(MemoryBlock* destination, int, int, int, int)
{
    if (!destination || !pixels || (bytesPerPixel != 3 && bytesPerPixel != 4) || width <= 0 || height <= 0)
        return false;
    uint64_t bytes = (uint64_t)pitch * (uint64_t)height;
    if (bytes < 8192) bytes = 8192;
    if (bytes > kcImageMaxBytes) return false;
    uint8_t* out = (uint8_t*)kcHeapAlloc(0, (int)bytes);
    if (!out) return false;
    uint32_t used = RunEncoder(pixels, width, height, pitch, bytesPerPixel, quality, out, (uint32_t)bytes);
    if (used == 0) {
        kcHeapRelease(out);
        return false;
    }
    destination->Free();
    destination->data = out;
    destination->size = used;
    destination->capacity = (uint32_t)bytes;
    destination->external = 0;
    return true;
}
