#pragma once

// Resources compiled into the library. The bytes are fixed: they are used exactly as stored.

#include <span>
#include <string_view>

namespace tavimo::resources {

// "PDFA-XMP.4.2.1": the XMP packet template of PDF/A-1b documents (UTF-8, CR LF line ends),
// with the XXX_..._XXX placeholders the PDF writer fills in.
std::span<const unsigned char> PdfaXmpTemplate();

// "IEC61966-2.1": the sRGB ICC profile (version 2), zlib-compressed, written unchanged into
// PDF/A documents as their output intent.
std::span<const unsigned char> SrgbProfileCompressed();

// A resource by its name ("PDFA-XMP.4.2.1", "IEC61966-2.1"); empty for an unknown name.
std::span<const unsigned char> Find(std::string_view name);

} // namespace tavimo::resources
