#pragma once

// The process's clipboard: an in-process store of typed items with copy semantics,
// guarded by a mutex so any thread may use it. Putting a picture on it stores a copy of
// its GDI object; taking one out gives a new picture that owns a fresh copy, so neither
// side's later changes or releases reach the other. A host may bridge it to a desktop
// clipboard; nothing here talks to one.

#include "platform/win/picture.h"

#include <cstdint>

namespace win {

inline constexpr uint32_t CF_BITMAP = 2;
inline constexpr uint32_t CF_METAFILEPICT = 3;
inline constexpr uint32_t CF_DIB = 8;
inline constexpr uint32_t CF_PALETTE = 9;
inline constexpr uint32_t CF_ENHMETAFILE = 14;

class Clipboard {
public:
    // Empties the clipboard.
    static void Clear();

    // Whether data of the format is available. A bitmap answers CF_BITMAP and CF_DIB (the
    // one is made from the other, as on the desktop), and CF_PALETTE when it came with a
    // palette; a metafile CF_METAFILEPICT; an enhanced metafile CF_ENHMETAFILE.
    static bool GetFormat(uint32_t format);

    // A new picture of the data in the format: a bitmap picture (with its palette) for
    // CF_BITMAP, CF_DIB and CF_PALETTE, a metafile picture for CF_METAFILEPICT, an
    // enhanced metafile picture for CF_ENHMETAFILE. Null when the format is absent.
    static PicturePtr GetData(uint32_t format);

    // Stores a copy of the picture's object under the format, replacing what the
    // clipboard held. The format must suit the picture (bitmaps: CF_BITMAP or CF_DIB;
    // metafiles: CF_METAFILEPICT; enhanced metafiles: CF_ENHMETAFILE); 0 picks the
    // picture's own. False when it does not, or for an empty picture or unknown handle.
    static bool SetData(const Picture* picture, uint32_t format = 0);
};

} // namespace win
