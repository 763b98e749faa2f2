#include "image/kcImageHolder.h"
#include "image/kcImageHg2.h"
#include "image/kcImageHg3.h"
#include "foundation/kcLog.h"
#include "foundation/kcThread.h"
#include "image/kcImagePng.h"
#include "image/kcImageJpeg.h"
#include "image/kcImageBmp.h"
#include "image/kcImagePsd.h"
#include "image/kcImageWebP.h"
#include "image/kcImageKcf.h"
#include <new>

namespace {
struct Format {
    bool (*probe)(const MemoryBlock*);
    kcImage* (*create)();
    kcImageType type;
};

template <class T> kcImage* Make() { return new (std::nothrow) T(); }

// Recognition order: the first signature test that accepts decides.
const Format kFormats[] = {
    {kcImageHg3::Probe, Make<kcImageHg3>, kcImageTypeHg3},
    {kcImageHg2::Probe, Make<kcImageHg2>, kcImageTypeHg2},
    {kcImagePng::Probe, Make<kcImagePng>, kcImageTypePng},
    {kcImageJpeg::Probe, Make<kcImageJpeg>, kcImageTypeJpeg},
    {kcImageBmp::Probe, Make<kcImageBmp>, kcImageTypeBmp},
    {kcImagePsd::Probe, Make<kcImagePsd>, kcImageTypePsd},
    {kcImageWebP::Probe, Make<kcImageWebP>, kcImageTypeWebP},
    {kcImageKcf::Probe, Make<kcImageKcf>, kcImageTypeKcf},
};
} // namespace

kcImageHolder::kcImageHolder() : image(nullptr), type(kcImageTypeNone), thread(nullptr), path{}, flag(1) {}

kcImageHolder::~kcImageHolder() { Destroy(); }

void kcImageHolder::Destroy()
{
    if (image) image->Release();
    image = nullptr;
    delete thread;
    thread = nullptr;
}

uint8_t* kcImageHolder::LoadFromMemory(const MemoryBlock* source, bool expandToCanvas, int frameId)
{
    if (image) image->Release();
    image = nullptr;
    const Format* format = nullptr;
    if (source) {
        for (const Format& f : kFormats)
            if (f.probe(source)) {
                format = &f;
                break;
            }
    }
    if (!format) {
        kcLog("展開できないイメージです");
        return nullptr;
    }
    image = format->create();
    type = format->type;
    if (!image) return nullptr;
    if (!image->Load(source, frameId)) {
        image->Release();
        image = nullptr;
        return nullptr;
    }
    if (expandToCanvas) ExpandToCanvas();
    return image ? image->GetPixels() : nullptr;
}

void kcImageHolder::ExpandToCanvas()
{
    if (!image) return;
    int cw = 0, ch = 0;
    image->GetCanvasSize(&cw, &ch);
    if (cw == image->width && ch == image->height) return;
    kcImage* canvas = new (std::nothrow) kcImage();
    if (!canvas) return;
    // A canvas that cannot be made leaves the picture as it was loaded.
    if (!canvas->Create(cw, ch, image->bytesPerPixel)) {
        canvas->Release();
        return;
    }
    canvas->Blit(image->offsetX, image->offsetY, image, 0, 0, image->width, image->height);
    image->Release();
    image = canvas;
}

int kcImageHolder::GetPitch() const { return image ? image->pitch : 0; }

int kcImageHolder::GetBytesPerPixel() const { return image ? image->bytesPerPixel : 0; }

uint8_t* kcImageHolder::GetPixels() const { return image ? image->GetPixels() : nullptr; }

unsigned kcImageHolder::GetSize(int* w, int* h) const { return image ? image->GetSize(w, h) : 0; }
