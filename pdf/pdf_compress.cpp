#include "pdf/pdf_compress.h"

#include <zlib.h>

namespace tavimo::pdf {

bool CompressBytes(std::string_view input, std::string& output, int level) {
    output.clear();
    if (input.empty() || level < 0 || level > 9)
        return false;
    uLongf length = compressBound(uLong(input.size()));
    output.resize(length);
    int status =
        compress2(reinterpret_cast<Bytef*>(output.data()), &length,
                  reinterpret_cast<const Bytef*>(input.data()), uLong(input.size()), level);
    if (status != Z_OK) {
        output.clear();
        return false;
    }
    output.resize(length);
    return true;
}

} // namespace tavimo::pdf
