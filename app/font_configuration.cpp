#include "app/font_configuration.h"

namespace app {

namespace {

// From 2.14 on, making a configuration current takes a reference of its own, so the loader's reference
// can be let go.
constexpr int kFirstSupportedVersion = 21400;

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
    if (FcGetVersion() < kFirstSupportedVersion)
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
    if (config && FcConfigSetCurrent(config)) {
        FcConfigDestroy(config);
        return;
    }
    FcConfigDestroy(config);
    FcInit();
}

}  // namespace app
