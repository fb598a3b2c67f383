#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/activex/hresult.h"

namespace ax {

// A run-time error inside the framework: the result code a caller sees, the BASIC error
// number and its description. Thrown only inside handlers and converters; every public
// entry point catches it and answers with the code.
class Error : public std::runtime_error {
public:
    Error(HResult code, int32_t number, const std::string& description)
        : std::runtime_error(description), m_code(code), m_number(number) {}

    HResult code() const { return m_code; }
    int32_t number() const { return m_number; }
    std::string description() const { return what(); }

    static Error typeMismatch() { return Error(DISP_E_TYPEMISMATCH, 13, "Type mismatch"); }
    static Error overflow() { return Error(DISP_E_OVERFLOW, 6, "Overflow"); }
    static Error invalidCall() {
        return Error(E_INVALIDARG, 5, "Invalid procedure call or argument");
    }

private:
    HResult m_code;
    int32_t m_number;
};

} // namespace ax
