#include "viewer/library_profile.h"

#include "viewer/entry_points.h"

namespace tavimo {

namespace {
// Constant-initialised, so an installation from another file's static initializer finds it
// ready whatever the order of initialisation.
constinit const LibraryProfile* g_installed = nullptr;
} // namespace

const LibraryProfile& defaultLibraryProfile() {
    static const LibraryProfile profile{"libtavimo", "libtavimo.so", libraryClasses()};
    return profile;
}

const LibraryProfile& libraryProfile() {
    return g_installed ? *g_installed : defaultLibraryProfile();
}

void installLibraryProfile(const LibraryProfile* profile) {
    g_installed = profile;
}

} // namespace tavimo
