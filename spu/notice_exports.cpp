// SPUconfigure and SPUabout: the plug-in has no dialog, only a message box that says where its
// settings are. On Windows that is the registry key; on Linux the settings file, and the box
// goes to standard error (platform/linux), where a user who started the host sees it.
#include <string>

#include "exports.h"
#include "spu_settings.h"

namespace {

// MB_OK | MB_TOPMOST | MB_TASKMODAL: the host's window may be full-screen, and the box must
// neither hide behind it nor let the host run on underneath.
constexpr UINT kMessageBoxStyle = MB_OK | MB_TOPMOST | MB_TASKMODAL;
static_assert(kMessageBoxStyle == 0x00042000, "message box style");

constexpr char kAboutText[] = "GUWASHI!";

#ifndef _WIN32
// Where the Linux layer keeps the settings key, for the two boxes. `afterLoad`: SPUconfigure has
// just loaded the settings, which creates the file when it is missing.
std::string settingsFileLine(bool afterLoad) {
    const std::string file = RegLinuxFileOfKey(SpuSettings::registryKeyPath());
    if (file.empty())
        return "No settings file: neither XDG_CONFIG_HOME nor a home directory is set, so the "
               "defaults are used.";
    if (!afterLoad) return "\"" + file + "\"";
    // A file that could not be created is not named as if it were there to edit; the reason
    // went to standard error when the write failed.
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(file.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return "\"" + file + "\" could not be created, so the defaults are used.";
    FindClose(search);
    return "\"" + file + "\"";
}
#endif

}  // namespace

SPU_EXPORT SpuResult CALLBACK SPUconfigure() {
    // Creates the key with its defaults when it is missing, so the place shown exists.
    spuSettings().load();
#ifdef _WIN32
    MessageBoxA(nullptr, SpuSettings::configureText(), plugin::kLibraryName, kMessageBoxStyle);
#else
    // The same three lines, naming the file that holds the key ("Name=value" lines).
    const std::string text = "Edit the settings file.\n\n" + settingsFileLine(true);
    MessageBoxA(nullptr, text.c_str(), plugin::kLibraryName, kMessageBoxStyle);
#endif
    return 0;
}

SPU_EXPORT void CALLBACK SPUabout() {
#ifdef _WIN32
    MessageBoxA(nullptr, kAboutText, plugin::kLibraryName, kMessageBoxStyle);
#else
    const std::string text = std::string(kAboutText) + "\n\nSettings: " + settingsFileLine(false);
    MessageBoxA(nullptr, text.c_str(), plugin::kLibraryName, kMessageBoxStyle);
#endif
}
