#include "platform/win/picture.h"

#include "platform/win/gdi.h"
#include "platform/win/gdi_metafile.h"
#include "platform/win/gdi_objects.h"

#include <cmath>
#include <new>

namespace win {

Picture::~Picture() {
    if (!m_own)
        return;
    switch (m_type) {
    case PICTYPE_BITMAP:
        DeleteObject(m_handle);
        if (m_palette)
            DeleteObject(m_palette);
        break;
    case PICTYPE_METAFILE:
        DeleteMetaFile(m_handle);
        break;
    case PICTYPE_ICON:
        DestroyIcon(m_handle);
        break;
    case PICTYPE_ENHMETAFILE:
        DeleteEnhMetaFile(m_handle);
        break;
    default:
        break;
    }
}

int32_t pixelsToHimetric(int32_t pixels, double dpi) {
    if (!(dpi > 0))
        dpi = 96.0;
    return int32_t(std::lround(pixels * 2540.0 / dpi));
}

HRESULT OleCreatePictureIndirect(const PICTDESC* desc, bool own, PicturePtr* picture) {
    try {
        if (!picture)
            return E_POINTER;
        picture->reset();
        PicturePtr p(new Picture());
        if (!desc) {
            p->m_type = PICTYPE_UNINITIALIZED;
            *picture = std::move(p);
            return S_OK;
        }
        if (desc->cbSizeofstruct != sizeof(PICTDESC))
            return E_INVALIDARG;
        switch (desc->picType) {
        case PICTYPE_NONE:
        case uint32_t(uint16_t(PICTYPE_UNINITIALIZED)):
        case 0xFFFFFFFFu:
            p->m_type = desc->picType == PICTYPE_NONE ? PICTYPE_NONE : PICTYPE_UNINITIALIZED;
            break;
        case PICTYPE_BITMAP: {
            auto s = bitmapSurface(desc->bmp.hbitmap);
            if (!s || (desc->bmp.hpal && !paletteEntries(desc->bmp.hpal, nullptr)))
                return E_INVALIDARG;
            p->m_handle = desc->bmp.hbitmap;
            p->m_palette = desc->bmp.hpal;
            p->m_width = pixelsToHimetric(s->width());
            p->m_height = pixelsToHimetric(s->height());
            break;
        }
        case PICTYPE_METAFILE:
            if (!metafileBytes(desc->wmf.hmeta, nullptr))
                return E_INVALIDARG;
            p->m_handle = desc->wmf.hmeta;
            p->m_width = desc->wmf.xExt;
            p->m_height = desc->wmf.yExt;
            break;
        case PICTYPE_ICON: {
            auto data = iconData(desc->icon.hicon);
            if (!data)
                return E_INVALIDARG;
            p->m_handle = desc->icon.hicon;
            p->m_width = pixelsToHimetric(data->width());
            p->m_height = pixelsToHimetric(data->height());
            break;
        }
        case PICTYPE_ENHMETAFILE: {
            int32_t frame[4];
            if (!enhMetafileFrame(desc->emf.hemf, frame))
                return E_INVALIDARG;
            p->m_handle = desc->emf.hemf;
            p->m_width = frame[2] - frame[0];
            p->m_height = frame[3] - frame[1];
            break;
        }
        default:
            return E_INVALIDARG;
        }
        if (p->m_type == PICTYPE_NONE && desc->picType != PICTYPE_NONE)
            p->m_type = PictureType(desc->picType);
        p->m_own = own && p->m_handle != 0;
        *picture = std::move(p);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace win
