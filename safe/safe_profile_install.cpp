// libtavimos.so takes in every object of this folder, so this initializer runs while the
// library loads and its entry points serve the scripting-safe classes. Programs that link
// the folder's static library without referring to this file keep the default profile.

#include "safe/SafeImageBox.h"

namespace tavimo {

namespace {
struct ProfileInstaller {
    ProfileInstaller() { installLibraryProfile(&safeLibraryProfile()); }
};
ProfileInstaller g_installer;
} // namespace

} // namespace tavimo
