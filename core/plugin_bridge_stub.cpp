// Stand-in until the codec plug-in bridge is built: it loads nothing through the plug-in,
// answering 9 (Aborted) without a plug-in and 13 (UnknownImageFormat, "leave it to GDI+")
// with one, so the load dispatcher goes on to GDI+ and the picture loader. Delete this
// file when the bridge defines LoadThroughPlugin.

#include "core/plugin.h"
#include "core/plugin_bridge.h"
#include "core/quennet_status.h"

namespace tavimo {

int32_t LoadThroughPlugin(ImageId& id, const std::string& path, bool useIcm, bool tiffPagesInPlace,
                          bool gifFramesInPlace) {
    (void)path;
    (void)useIcm;
    (void)tiffPagesInPlace;
    (void)gifFramesInPlace;
    id = 0;
    return PluginAvailable() ? UnknownImageFormat : Aborted;
}

} // namespace tavimo
