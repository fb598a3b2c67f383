#pragma once

#include <string>
#include <vector>

#include "platform/activex/class_factory.h"

namespace tavimo {

// What the library's entry points serve: the creatable classes and the names under which
// the library registers itself. libtavimo.so serves its own profile; a deliverable built
// from the same folders plus others (libtavimos.so adds safe/) installs its profile once
// while it is loaded, so one set of entry points serves both libraries.
struct LibraryProfile {
    std::string registryName; // the registration file's name: "libtavimo" -> libtavimo.classes
    std::string fileName;     // the library file, when its path cannot be found at run time
    std::vector<ax::ClassEntry> classes;
};

// The profile of libtavimo.so: ImageBox, ImageBoxCnt and dummy with their own identifiers.
const LibraryProfile& defaultLibraryProfile();

// The profile the entry points serve: the installed one, else the default.
const LibraryProfile& libraryProfile();

// Installs the profile the entry points serve from now on. Meant for a static initializer
// of the folder that makes the other deliverable (so it runs while the library loads,
// before any entry point is called); the profile must stay alive as long as the library.
// A second installation replaces the first; null goes back to the default.
void installLibraryProfile(const LibraryProfile* profile);

} // namespace tavimo
