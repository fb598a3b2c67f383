#pragma once

// The script mode of tavimo-view: one statement a line, run against one hosted control.
//
//   # a comment
//   DisplayFromFile "photo.jpg"     call a method by name; its result is printed
//   ZoomMode = 2                    set a property
//   ZOOM                            read a property
//   GetDisplayedArea                by-reference outputs print as name=value lines
//   !events                         a host command (see runScript)
//
// Values print as: integers in decimal, reals in their shortest round-trip form, strings
// in double quotes (with \" and \\ escaped), Booleans as True / False, an object as
// Object or Nothing, an array as Array(n). Nothing prints for a method without result.

#include <cstdint>
#include <iosfwd>
#include <string>

#include "platform/activex/headless_host.h"

namespace tavimo_view {

// What the script needs from the program hosting the control.
class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    virtual ax::HeadlessHost& host() = 0;
    virtual ax::HostedControl& control() = 0;
    // Writes what the user sees as a PNG; false with a reason on failure.
    virtual bool snapshot(const std::string& path, std::string& error) = 0;
    virtual void resize(int width, int height) = 0;
    // Lets `ms` milliseconds of the host's clock pass, timers running.
    virtual void advance(uint64_t ms) = 0;
    // Replaces the control by a new one read from the bag; false on failure.
    virtual bool reload(ax::PropertyBag& bag, std::string& error) = 0;
    // After each statement (a window host shows the new state).
    virtual void settle() {}
};

// Formats a value as the script prints it.
std::string formatValue(const ax::Variant& value);

// Runs the script. Host commands:
//   !snapshot PATH             !resize W H          !advance MS
//   !events                    (the events since the last !events, one a line,
//                               Name or Name(arg, arg))
//   !mouse down|move|up BUTTON SHIFT X Y            !key down|up KEYCODE SHIFT
//   !wheel DELTA               !drop PATH ...
//   !save BAG                  !load BAG            (the text form of a property bag)
// Returns 0, or 2 after a script error, which goes to `err` as "line N: reason".
int runScript(std::istream& in, std::ostream& out, std::ostream& err, ScriptHost& host);

} // namespace tavimo_view
