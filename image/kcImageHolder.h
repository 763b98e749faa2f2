#pragma once
// Keeps one decoded image: recognises the format of an encoded block, decodes the requested
// frame and, when asked, places the picture on its full canvas.
#include "image/kcImage.h"

class kcThread;

enum kcImageType {
    kcImageTypeNone = 0,
    kcImageTypeBmp = 1,
    kcImageTypePsd = 2,
    kcImageTypeKcf = 3,
    kcImageTypeHg2 = 4,
    kcImageTypeJpeg = 5,
    kcImageTypeHg3 = 6,
    kcImageTypePng = 7,
    kcImageTypeWebP = 8,
};

class kcImageHolder {
public:
    kcImageHolder();
    ~kcImageHolder();
    // Releases the image and deletes the thread object; the owner deletes the holder afterwards.
    void Destroy();
    // The held image's pixels, or null when the format is unknown or the decoding fails.
    uint8_t* LoadFromMemory(const MemoryBlock* source, bool expandToCanvas, int frameId);
    void ExpandToCanvas();

    kcImage* GetImage() const { return image; }
    int GetPitch() const;
    int GetBytesPerPixel() const;
    uint8_t* GetPixels() const;
    unsigned GetSize(int* w, int* h) const;

    kcImage* image;
    kcImageType type;
    kcThread* thread; // reserved for a loading thread; nothing creates one
    wchar_t path[260];
    int flag;

private:
    kcImageHolder(const kcImageHolder&) = delete;
    kcImageHolder& operator=(const kcImageHolder&) = delete;
};
