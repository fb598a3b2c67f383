#include "core/encoders.h"

#include "platform/gdiplus/gdiplus.h"
#include "platform/win/vb_number.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <vector>

namespace tavimo {

namespace {

struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](unsigned char x, unsigned char y) {
                                                return std::tolower(x) < std::tolower(y);
                                            });
    }
};

struct EncoderList {
    std::vector<win::Guid> clsids;
    // Absent until the list is built: lookups then find nothing.
    std::optional<std::map<std::string, int32_t, CaseInsensitiveLess>> indexByKey;
};

thread_local EncoderList t_encoders;

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// Every piece before a ";" is a key as it stands; the piece after the last ";" is trimmed
// and added only when not empty. A pattern that another encoder already listed keeps its
// first encoder: a duplicate must not cost the keys of the encoders that follow.
void addEncoderKeys(const std::string& extensions, int32_t index) {
    auto& keys = *t_encoders.indexByKey;
    size_t start = 0;
    for (;;) {
        size_t semi = extensions.find(';', start);
        if (semi == std::string::npos) {
            std::string last = trim(extensions.substr(start));
            if (!last.empty())
                keys.emplace(last, index);
            return;
        }
        keys.emplace(extensions.substr(start, semi - start), index);
        start = semi + 1;
    }
}

} // namespace

void BuildEncoderList() {
    gp::UINT count = 0, size = 0;
    gp::Status status = gp::GdipGetImageEncodersSize(&count, &size);
    if (status != gp::Ok)
        throw win::VbError(status);
    std::vector<uint8_t> buffer(std::max<gp::UINT>(size, sizeof(gp::ImageCodecInfo)));
    auto* codecs = reinterpret_cast<gp::ImageCodecInfo*>(buffer.data());
    status = gp::GdipGetImageEncoders(count, size, codecs);
    if (status != gp::Ok)
        throw win::VbError(status);

    t_encoders.clsids.assign(count, win::Guid{});
    t_encoders.indexByKey.emplace();
    // Taken from the last to the first, as the list has always been built: with a
    // duplicate pattern the later encoder's key comes first and stays.
    for (int32_t n = static_cast<int32_t>(count) - 1; n >= 0; --n) {
        t_encoders.clsids[static_cast<size_t>(n)] = codecs[n].Clsid;
        addEncoderKeys(codecs[n].FilenameExtension ? codecs[n].FilenameExtension : "", n);
    }
}

int32_t FindEncoder(const std::string& key) {
    if (!t_encoders.indexByKey)
        return -1;
    auto it = t_encoders.indexByKey->find(key);
    return it == t_encoders.indexByKey->end() ? -1 : it->second;
}

bool GetEncoderClsid(win::Guid& clsid, int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= t_encoders.clsids.size())
        return false;
    clsid = t_encoders.clsids[static_cast<size_t>(index)];
    return true;
}

int32_t EncoderCount() { return static_cast<int32_t>(t_encoders.clsids.size()); }

namespace test {

void ResetEncoderList() { t_encoders = EncoderList{}; }

} // namespace test

} // namespace tavimo
