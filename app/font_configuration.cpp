#include "app/font_configuration.h"

namespace app {

namespace {

bool namesCacheFolder(FcConfig* config) {
    FcStrList* folders = FcConfigGetCacheDirs(config);
    if (!folders)
        return false;
    const bool named = FcStrListNext(folders) != nullptr;
    FcStrListDone(folders);
    return named;
}

}  // namespace

FcConfig* loadFontConfiguration() {
    if (FcGetVersion() < kFontConfigurationLoadedFrom)
        return nullptr;
    FcConfig* config = FcConfigCreate();
    if (!config)
        return nullptr;
    // The library's own load adds default cache folders (with warnings) when the configuration names
    // none; that case is left to it.
    if (!FcConfigParseAndLoad(config, nullptr, FcTrue) || !namesCacheFolder(config) ||
        !FcConfigBuildFonts(config)) {
        FcConfigDestroy(config);
        return nullptr;
    }
    return config;
}

void initialiseFontConfiguration() {
    FcConfig* config = loadFontConfiguration();
    const bool current = config && FcConfigSetCurrent(config);
    FcConfigDestroy(config);  // a current configuration holds a reference of its own
    if (!current)
        FcInit();
}

}  // namespace app
