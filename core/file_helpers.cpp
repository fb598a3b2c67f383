#include "core/file_helpers.h"

#include "platform/win/files.h"
#include "platform/win/module_version.h"
#include "platform/win/random.h"
#include "platform/win/system_info.h"
#include "platform/win/ui_services.h"
#include "platform/win/vb_number.h"

#include <cmath>

namespace tavimo {

std::string ShowOpenFileDialog(uint32_t ownerWindow) {
    win::OpenFileRequest request;
    request.ownerWindow = ownerWindow;
    request.instance = win::kModuleInstance;
    request.title = "Open File";
    request.bufferChars = 256;
    request.flags = 6;
    return win::GetOpenFileName(request);
}

std::string GetTempFolder() {
    return win::GetTempFolder();
}

std::string MakeTempFileName() {
    return win::MakeTempFileName();
}

std::string NormalizePath(const std::string& path) {
    return win::NormalizePath(path);
}

std::string FileExists(const std::string& path) {
    return win::FileExists(path);
}

std::string GetFileVersion(const std::string& fileName) {
    return win::GetFileVersion(fileName);
}

win::Guid StringToGuid(const std::string& text) {
    return win::parseGuid(text);
}

int32_t CountDecimals(float value) {
    if (!std::isfinite(value))
        return 0;
    try {
        return win::CountDecimals(value);
    } catch (...) {
        return 0;
    }
}

std::string NewRandomIdentifier() {
    static const char kDigits[] = "0123456789ABCDEF";
    win::Randomize();
    std::string text;
    text.reserve(36);
    for (int group : {8, 4, 4, 4, 12}) {
        if (!text.empty())
            text += '-';
        for (int i = 0; i < group; ++i) {
            // Int(Rnd as a single x 16): the single can round up to 1.0, which would give 16.
            float r = static_cast<float>(win::Rnd());
            int digit = static_cast<int>(std::floor(r * 16.0f));
            text += kDigits[digit > 15 ? 15 : digit];
        }
    }
    return text;
}

} // namespace tavimo
