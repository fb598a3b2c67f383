#include "platform/gdiplus/codec_internal.h"

// Formats whose codecs are not in yet answer NotImplemented.
namespace gp::codec {
void decodeGif(Bytes, DecodedImage&) {
    fail(NotImplemented);
}
void decodeJpeg(Bytes, DecodedImage&, const DecodeOptions&) {
    fail(NotImplemented);
}
void decodePng(Bytes, DecodedImage&, const DecodeOptions&) {
    fail(NotImplemented);
}
void decodeTiff(Bytes, DecodedImage&, const DecodeOptions&) {
    fail(NotImplemented);
}
void decodeIcon(Bytes, DecodedImage&) {
    fail(NotImplemented);
}
void encodeBmp(const FrameData&, std::vector<uint8_t>&) {
    fail(NotImplemented);
}
void encodeJpeg(const FrameData&, const EncodeSettings&, std::vector<uint8_t>&) {
    fail(NotImplemented);
}
void encodeGif(const FrameData&, std::vector<uint8_t>&) {
    fail(NotImplemented);
}
void encodeTiff(const FrameData&, const EncodeSettings&, std::vector<uint8_t>&) {
    fail(NotImplemented);
}
void encodePng(const FrameData&, std::vector<uint8_t>&) {
    fail(NotImplemented);
}
void applyIccToSrgb(FrameData&, Bytes) {}
} // namespace gp::codec
