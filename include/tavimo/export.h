#pragma once

// Shared by every public header of Tavimo.
//
// TAVIMO_API marks what leaves libtavimo.so and libtavimos.so: the four COM-style entry
// points and the C++ API declared in these headers. Everything else in the libraries is
// hidden.
//
// The C++ API lives in namespace tavimo, inside the inline namespace tavimo::v0. Callers
// write tavimo::cPDF, tavimo::QuennetStatus and so on; the v0 only shows in the symbol
// names, which carry the version of the binary interface (the libraries' SONAME is .0).
// An incompatible change of the interface gets a new inline namespace and a new SONAME.
//
// Threads: the image core keeps one image table per thread. An ImageId, and every object
// of the C++ API, belongs to the thread that made it.

#define TAVIMO_API __attribute__((visibility("default")))
