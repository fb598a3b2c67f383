#include "platform/activex/object_safety.h"

#include "platform/activex/class_factory.h"

namespace ax {

int StringFromGUID2(const Guid& rguid, char16_t* lpsz, int cchMax) {
    std::string text = guidText(rguid);
    int needed = static_cast<int>(text.size()) + 1;
    if (!lpsz || cchMax < needed)
        return 0;
    for (size_t i = 0; i < text.size(); ++i)
        lpsz[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    lpsz[text.size()] = u'\0';
    return needed;
}

} // namespace ax
