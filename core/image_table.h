#pragma once

// The per-thread image table: every image the library holds lives here and is named
// everywhere else by its ImageId. The GDI+ image of an entry is only lent out, for one
// operation at a time (GetGdiImage); holders keep identifiers, never handles.

#include "core/quennet_status.h"
#include "platform/gdiplus/gdiplus.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavimo {

using ImageId = int32_t;
using KelvraHandle = uint32_t; // KelvraBitmap, KelvraMultiBitmap, KelvraFileHandle

// What an entry owns and how it was made; decides what ReleaseImage frees.
enum SourceKind : int32_t {
    SourceKindGdiImage = 0,    // clone, cloned area, validated image handed in
    SourceKindMemory = 2,      // over a global memory block (MemoryHandle)
    SourceKindPlugin = 3,      // plug-in bitmap or plug-in page container (PluginHandle)
    SourceKindHBitmap = 4,     // made from an HBITMAP
    SourceKindHIcon = 5,       // made from an HICON
    SourceKindFile = 6,        // from a file through GDI+, and GDI+ page containers
    SourceKindRawBits = 7,     // thumbnail, or raw bits at a caller's address
    SourceKindPluginPage = 8,  // locked page of a plug-in multi-page bitmap
    SourceKindOwnedBits = 9,   // raw bits in a buffer handed over to the entry
};

struct IptcTagEntry {
    int32_t TagId = 0;
    int32_t Length = 0;
    int16_t Type = 0;
    std::vector<uint8_t> Value;
    int32_t Count = 0;
};

struct ImageRecord {
    int32_t Registered = 0;
    uint32_t OwnerInstance = 0;
    int32_t ImageId = 0; // 0 marks a free slot
    int32_t SourceKind = SourceKindGdiImage;
    uint32_t MemoryHandle = 0;
    void* PixelMemory = nullptr; // buffer under raw-bits images (kinds 7 and 9)
    gp::GpImage GdiImage = 0;
    KelvraHandle PluginHandle = 0;
    KelvraHandle PluginPage = 0;
    std::string SourcePath;
    bool DeleteSourceFile = false;
    bool OwnsPixelMemory = false;
    std::string FormatName;
    bool IsTiffContainer = false;
    bool IsGifContainer = false;
    int32_t BitDepth = 0;
    int32_t PageCount = 0;
    std::vector<std::string> PageFiles;
    std::vector<tavimo::ImageId> PageImageIds;
    std::vector<int32_t> FrameDelays;
    int32_t CurrentPage = 0; // containers set -1 for "no current page"
    bool PagesInPlace = false;
    int32_t LoopCount = 0;
    std::string Comment;
    std::vector<IptcTagEntry> IptcTags;
    int32_t IptcTagCount = 0;
    bool Modified = false;
    KelvraHandle PluginFileHandle = 0;

    bool isContainer() const { return IsTiffContainer || IsGifContainer; }
};

// The thread's table, for the core's own modules (containers, loaders, metadata). Entries
// are addressed by slot index; an index stays valid until the next registration or release.
std::vector<ImageRecord>& imageTable();
int32_t ImageTableCount();

// Registration and lookup.
int32_t RegisterImage(ImageId& id, gp::GpImage image, const std::string& formatName,
                      const std::string& sourcePath, int32_t sourceKind);
void FinishRegistration(ImageId id);
ImageId NewImageId();
int32_t AllocImageSlot();
int32_t FindImageIndex(ImageId id);       // -1 for 0 or an unknown identifier
ImageRecord* FindImageRecord(ImageId id); // first match, null when unknown

// For a container these resolve to its current page.
gp::GpImage GetGdiImage(ImageId id);
ImageId GetCurrentPageImageId(ImageId id);
int32_t GetImageSourceKind(ImageId id);
void SetImageSourceKind(ImageId id, int32_t kind);

// Setters; each does nothing for an unknown identifier.
void SetMemorySource(ImageId id, uint32_t memoryHandle);
void SetPluginSource(ImageId id, KelvraHandle bitmap);
void SetPluginPageSource(ImageId id, KelvraHandle multiBitmap, KelvraHandle page);
void SetImageFormatName(ImageId id, const std::string& name);
void SetTempSourceFile(ImageId id, const std::string& path);
std::string GetImageFormatName(ImageId id);

void MarkImageModified(ImageId id);
void ClearImageModified(ImageId id);

// Releases the image and everything it owns: page images and page files of a container,
// a handed-over pixel buffer, plug-in handles, the GDI+ image, the memory block and a
// temporary source file. Returns 2 for an unknown identifier, else the status of the
// disposal of the entry's own GDI+ image (or of the last page released, or 0).
int32_t ReleaseImage(ImageId id);
void ReleaseAllImages();

// The counted GDI+ session of one user (a control instance) on this thread.
bool StartGdiPlus();
void StopGdiPlus();
bool GdiPlusNotRunning();

// Versions read at the first successful start: the GDI+ layer's and the plug-in's.
const std::string& GdiplusVersionText();
const std::string& PluginVersionText();

namespace test {

// Forgets this thread's session: start count, token, versions and the encoder list, as in a
// thread that never started GDI+. For tests that run one after another on one thread.
void ResetSessionState();

} // namespace test

} // namespace tavimo
