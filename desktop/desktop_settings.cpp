#include "desktop_settings.h"

#include "handheld_names.h"
#include "home.h"
#include "profile_file.h"
#include "sync_records.h"

namespace desktop {

namespace {

constexpr char kSection[] = "Settings";

int32_t syncTypeOf(const qvplugin::ProfileFile &file, const char *key) {
    const auto text = file.value(kSection, key);
    return text && qvplugin::profileInteger(*text) == 0 ? 0 : 1;
}

bool usableCardFolder(const std::string &folder) {
    return validCardFolder(folder) && folder.size() < qv::kDesktopTextWidth;
}

}  // namespace

std::string desktopSettingsPath() { return (platform::programFolder() / kDesktopSettingsFile).string(); }

bool loadDesktopSettings(const std::string &path, const std::string &defaultCardDir, DesktopSettings &out,
                         std::string &error) {
    out = DesktopSettings{};
    out.defCardDir = usableCardFolder(defaultCardDir) ? defaultCardDir : std::string(kDefaultCardFolder);
    qvplugin::ProfileFile file;
    std::error_code ec;
    if (!file.load(path, ec)) {
        error = path + ": " + ec.message();
        return false;
    }
    out.palmSyncType = syncTypeOf(file, "PalmSyncType");
    out.cardSyncType = syncTypeOf(file, "CardSyncType");
    if (const auto folder = file.value(kSection, "DefCardDir"); folder && usableCardFolder(*folder))
        out.defCardDir = *folder;
    return true;
}

bool saveDesktopSettings(const std::string &path, const DesktopSettings &settings, std::string &error) {
    qvplugin::ProfileFile file;
    std::error_code ec;
    if (!file.load(path, ec)) {
        error = path + ": " + ec.message();
        return false;
    }
    file.setValue(kSection, "PalmSyncType", std::to_string(settings.palmSyncType));
    file.setValue(kSection, "CardSyncType", std::to_string(settings.cardSyncType));
    file.setValue(kSection, "DefCardDir", settings.defCardDir);
    if (!file.save(path, ec)) {
        error = path + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace desktop
