#include "platform/activex/events.h"

#include <algorithm>

namespace ax {

uint32_t ConnectionPoint::advise(std::shared_ptr<EventSink> sink) {
    if (!sink)
        return 0;
    uint32_t cookie = m_nextCookie++;
    m_sinks.emplace_back(cookie, std::move(sink));
    return cookie;
}

bool ConnectionPoint::unadvise(uint32_t cookie) {
    auto it = std::find_if(m_sinks.begin(), m_sinks.end(),
                           [cookie](const auto& s) { return s.first == cookie; });
    if (it == m_sinks.end())
        return false;
    m_sinks.erase(it);
    return true;
}

void ConnectionPoint::raise(DispId id, std::span<Variant> args) {
    auto sinks = m_sinks;
    for (auto& [cookie, sink] : sinks) {
        try {
            sink->invoke(id, args);
        } catch (...) {
        }
    }
}

} // namespace ax
