#pragma once

// The trap every public entry of the C++ API runs its body in: nothing thrown below
// leaves the library. The internal code already catches in most places; this is the last
// line, so that no change below can let an exception reach a caller.

#include <tavimo/enums.h>

#include <new>
#include <utility>

namespace tavimo::api {

// The body's value, or `fallback` when it throws.
template <class R, class Body> R guarded(R fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return fallback;
    }
}

// For bodies that answer a status: OutOfMemory for an allocation failure, GenericError for
// anything else thrown.
template <class Body> QuennetStatus guardedStatus(Body&& body) noexcept {
    try {
        return static_cast<QuennetStatus>(std::forward<Body>(body)());
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}

// For bodies without a value.
template <class Body> void guardedVoid(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

// For the handles of the public classes: `impl` holds the internal object as `inner` and is
// null only when it could not be allocated. The body gets the inner object; without one,
// or when the body throws, the answer is `fallback`.
template <class Impl, class R, class Body> R onInner(Impl* impl, R fallback, Body&& body) noexcept {
    if (!impl)
        return fallback;
    return guarded(fallback, [&] { return body(impl->inner); });
}

template <class Impl, class Body> void onInner(Impl* impl, Body&& body) noexcept {
    if (impl)
        guardedVoid([&] { body(impl->inner); });
}

} // namespace tavimo::api
