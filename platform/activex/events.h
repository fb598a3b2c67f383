#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/activex/variant.h"

namespace ax {

using DispId = int32_t;

// Receives a control's events. Arguments the event declares by reference arrive as
// by-reference Variants (or plain Variants the sink may overwrite); whatever the sink
// stores there is what the control reads back once every sink has run.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void invoke(DispId id, std::span<Variant> args) = 0;
};

// The advised sinks of one event interface. Raising is synchronous, in advise order; a
// sink may re-enter the control, advise or unadvise meanwhile (the list is copied
// first). A sink that throws is skipped and the others still run.
class ConnectionPoint {
public:
    // Returns the cookie (never 0); a null sink gives 0.
    uint32_t advise(std::shared_ptr<EventSink> sink);
    // False (CONNECT_E_NOCONNECTION in COM terms) for an unknown cookie.
    bool unadvise(uint32_t cookie);
    size_t count() const { return m_sinks.size(); }
    void raise(DispId id, std::span<Variant> args);

private:
    std::vector<std::pair<uint32_t, std::shared_ptr<EventSink>>> m_sinks;
    uint32_t m_nextCookie = 1;
};

} // namespace ax
