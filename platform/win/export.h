#pragma once

// Marks what the deliverable libraries export. Everything else is built with hidden
// visibility, so only the entry points and the C++ API leave libtavimo.so.
#define TAVIMO_API __attribute__((visibility("default")))
