#include "pdf/cPDF.h"

#include "core/plugin.h"
#include "pdf/pdf_compress.h"
#include "pdf/pdf_format.h"

#include <cstdio>

namespace tavimo {

using namespace pdf;

namespace {

std::uint32_t rgbOf(std::uint32_t argb) {
    return argb & 0xFFFFFFu;
}

bool isBlackWhite(const std::vector<std::uint32_t>& palette) {
    return palette.size() == 2 && rgbOf(palette[0]) == 0 && rgbOf(palette[1]) == 0xFFFFFF;
}

bool isWhiteBlack(const std::vector<std::uint32_t>& palette) {
    return palette.size() == 2 && rgbOf(palette[0]) == 0xFFFFFF && rgbOf(palette[1]) == 0;
}

std::size_t rowBytesOf(std::int32_t width, std::int32_t depth) {
    auto w = std::size_t(width);
    switch (depth) {
    case 1:
        return (w + 7) / 8;
    case 4:
        return (w + 1) / 2;
    case 8:
        return w;
    default:
        return 3 * w;
    }
}

// Group 4 through the codec plug-in, which codes bit 1 as black. False when the plug-in is
// absent or fails; the caller then writes the samples raw.
bool compressCcitt4(std::string_view samples, std::int32_t width, std::int32_t height,
                    std::string& out) {
    out.clear();
    const KelvraApi* api = plugin();
    if (!api || !api->KELVRA_VB_CompressCCITT4 || !api->KELVRA_FreeByteArray) {
        std::fprintf(stderr, "cPDF: CCITT group 4 needs the codec plug-in; image written raw\n");
        return false;
    }
    // The plug-in only reads the input array.
    KelvraByteArray input{reinterpret_cast<std::uint8_t*>(const_cast<char*>(samples.data())),
                          std::int32_t(samples.size())};
    KelvraByteArray output{nullptr, 0};
    std::int32_t status = api->KELVRA_VB_CompressCCITT4(&output, &input, width, height,
                                                        std::int32_t(rowBytesOf(width, 1)), 0);
    if (status == 0 && output.data && output.size > 0)
        out.assign(reinterpret_cast<const char*>(output.data), std::size_t(output.size));
    api->KELVRA_FreeByteArray(&output);
    return !out.empty();
}

} // namespace

std::int32_t cPDF::AddImageData(const PdfImageData& image) {
    try {
        if (!m_file)
            return 0;
        bool indexed = image.depth == 1 || image.depth == 4 || image.depth == 8;
        if (!indexed && image.depth != 24)
            return 0;
        if (image.width < 1 || image.height < 1 || image.mode < 0 || image.mode > 3)
            return 0;
        if (image.mode == 3) {
            if (image.jpeg.empty())
                return 0;
        } else if (image.samples.size() <
                   rowBytesOf(image.width, image.depth) * std::size_t(image.height)) {
            return 0;
        }
        if (indexed && image.palette.size() > (std::size_t(1) << image.depth))
            return 0;
        if (!haveObjects(indexed ? 2 : 1))
            return 0;
        std::string name = "Img" + IntText(std::int64_t(m_images.size()) + 1);
        if (!writeImageObject(image, name))
            return 0;
        m_images.push_back({image.width, image.height, image.resolutionX, image.resolutionY});
        return std::int32_t(m_images.size());
    } catch (...) {
        return 0;
    }
}

bool cPDF::writeImageObject(const PdfImageData& image, const std::string& name) {
    std::size_t rowBytes = rowBytesOf(image.width, image.depth);
    std::string data;
    std::string filter;
    int mode = image.mode;
    if (mode == 3) {
        data = image.jpeg;
        filter = "/Filter/DCTDecode";
    } else {
        std::string_view samples(image.samples.data(), rowBytes * std::size_t(image.height));
        if (mode == 1 && CompressBytes(samples, data, m_compressLevel)) {
            filter = "/Filter/FlateDecode";
        } else if (mode == 2 && image.depth == 1 &&
                   compressCcitt4(samples, image.width, image.height, data)) {
            filter = "/Filter/CCITTFaxDecode/DecodeParms<</K -1/Columns " + IntText(image.width);
            // The encoder codes bit 1 as black; indices of a palette that is not exactly
            // black and white must come back as they went in.
            if (!isBlackWhite(image.palette) && !isWhiteBlack(image.palette))
                filter += "/BlackIs1 true";
            filter += ">>";
        } else {
            mode = 0;
            data = std::string(samples);
        }
    }

    if (!m_headerDone)
        initPdfFile();
    int n = beginObject(0);
    if (n == 0)
        return false;
    std::string head =
        "<</Subtype/Image/Length " + IntText(std::int64_t(data.size())) + filter + "/Name/" + name;
    std::string size = "/Width " + IntText(image.width) + "/Height " + IntText(image.height) +
                       "/Type/XObject>>stream";
    bool paletteObject = false;
    if (image.depth == 1 && isBlackWhite(image.palette)) {
        head += std::string("/BitsPerComponent 1/ColorSpace/DeviceGray/") +
                (mode == 2 ? "Decode [ 1 0 ]" : "Decode [ 0 1 ]");
    } else if (image.depth == 1 && isWhiteBlack(image.palette)) {
        head += std::string("/BitsPerComponent 1/ColorSpace/DeviceGray/") +
                (mode == 2 ? "Decode [ 0 1 ]" : "Decode [ 1 0 ]");
    } else if (image.depth <= 8) {
        head += "/BitsPerComponent " + IntText(image.depth) + "/ColorSpace [/Indexed/DeviceRGB " +
                IntText((1 << image.depth) - 1) + " " + IntText(n + 1) + " 0 R]";
        paletteObject = true;
    } else {
        head += "/BitsPerComponent 8/ColorSpace/DeviceRGB";
    }
    writeLine(head + size);
    if (encrypting())
        data = encryptFor(n, data);
    writeBytes(data);
    writeLine("endstream");
    writeEndObj();
    m_imageText += "/" + name + " " + IntText(n) + " 0 R\r";

    if (paletteObject) {
        std::string palette(std::size_t(3) << image.depth, '\0');
        for (std::size_t i = 0; i < image.palette.size(); ++i) {
            std::uint32_t c = image.palette[i];
            palette[3 * i] = char((c >> 16) & 0xFF);
            palette[3 * i + 1] = char((c >> 8) & 0xFF);
            palette[3 * i + 2] = char(c & 0xFF);
        }
        int p = beginObject(0);
        writeLine("<</Length " + IntText(std::int64_t(palette.size())) + ">>stream");
        writeBytes(encrypting() ? encryptFor(p, palette) : palette);
        writeLine("endstream");
        writeEndObj();
    }
    return true;
}

std::int32_t cPDF::ImageHeight(std::int32_t nImageID) const {
    if (nImageID < 1 || nImageID > std::int32_t(m_images.size()))
        return 0;
    return m_images[std::size_t(nImageID - 1)].height;
}

std::int32_t cPDF::ImageWidth(std::int32_t nImageID) const {
    if (nImageID < 1 || nImageID > std::int32_t(m_images.size()))
        return 0;
    return m_images[std::size_t(nImageID - 1)].width;
}

std::int32_t cPDF::ImageResX(std::int32_t nImageID) const {
    if (nImageID < 1 || nImageID > std::int32_t(m_images.size()))
        return 0;
    return m_images[std::size_t(nImageID - 1)].resolutionX;
}

std::int32_t cPDF::ImageResY(std::int32_t nImageID) const {
    if (nImageID < 1 || nImageID > std::int32_t(m_images.size()))
        return 0;
    return m_images[std::size_t(nImageID - 1)].resolutionY;
}

void cPDF::DrawImg(std::int32_t& nImageID, float DestX, float DestY, float ImgWidth,
                   float ImgHeight) {
    try {
        // An identifier below 1 would name an image resource that does not exist.
        if (nImageID < 1 || nImageID > std::int32_t(m_images.size()))
            return;
        if (!openTarget())
            return;
        addContent("q\n" + FormatFixed(ImgWidth, 2) + " 0 0 " + FormatFixed(ImgHeight, 2) + " " +
                   FormatFixed(DestX, 2) + " " + FormatFixed(DestY, 2) + " cm\n/Img" +
                   IntText(nImageID) + " Do\nQ\n");
    } catch (...) {
    }
}

} // namespace tavimo
