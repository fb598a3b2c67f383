#include "resources/resources.h"

#include <cstddef>

namespace tavimo::resources {

namespace data {
extern const unsigned char kPdfaXmpTemplate[];
extern const std::size_t kPdfaXmpTemplateSize;
extern const unsigned char kSrgbProfileZ[];
extern const std::size_t kSrgbProfileZSize;
} // namespace data

std::span<const unsigned char> PdfaXmpTemplate() {
    return {data::kPdfaXmpTemplate, data::kPdfaXmpTemplateSize};
}

std::span<const unsigned char> SrgbProfileCompressed() {
    return {data::kSrgbProfileZ, data::kSrgbProfileZSize};
}

std::span<const unsigned char> Find(std::string_view name) {
    if (name == "PDFA-XMP.4.2.1")
        return PdfaXmpTemplate();
    if (name == "IEC61966-2.1")
        return SrgbProfileCompressed();
    return {};
}

} // namespace tavimo::resources
