#include "desktop_data.h"

#include "card_records.h"
#include "desktop_paths.h"
#include "home.h"
#include "registry.h"

#include <algorithm>

namespace desktop {

namespace {

int64_t readLastUser() {
    using platform::Hive;
    using platform::Registry;
    const auto id = Registry::readDword(Hive::CurrentUser, kProgramKey, "Last User");
    return id && *id != 0xFFFFFFFFu ? int64_t(*id) : -1;
}

}  // namespace

DesktopData::DesktopData(const DesktopDataOptions &options) : files_(options.databaseLibrary) {
    desktopLog.setFileName((platform::programFolder() / kDesktopLogFile).string());
    users_ = std::make_unique<TQVUserManager>(options.programFolder);
    lastUser_ = readLastUser();
    if (lastUser_ == -1) {
        const auto name = platform::Registry::readString(platform::Hive::CurrentUser, kPalmPreferencesKey,
                                                         "LastUserName");
        if (name)
            if (const auto id = users_->idFromName(*name)) lastUser_ = int64_t(*id);
    }
    plugins_ = std::make_unique<TQVPluginsList>(&desktopLog);
    if (!plugins_->keyFound()) plugins_.reset();
    const std::string defaultCardDir =
        plugins_ && plugins_->first() ? plugins_->first()->defaultCardFolder() : std::string(kDefaultCardFolder);
    loadDesktopSettings(desktopSettingsPath(), defaultCardDir, settings_, settingsProblem_);
}

void DesktopData::storeLastUser() const {
    platform::Registry::writeDword(platform::Hive::CurrentUser, kProgramKey, "Last User",
                                   uint32_t(lastUser_ < 0 ? 0xFFFFFFFF : lastUser_));
}

std::optional<uint32_t> DesktopData::defaultUser() {
    const auto users = users_->users();
    if (users.empty()) return std::nullopt;
    const auto last = std::find_if(users.begin(), users.end(),
                                   [&](const PalmUser &u) { return int64_t(u.id) == lastUser_; });
    return last != users.end() ? last->id : users.front().id;
}

bool DesktopData::selectUser(uint32_t userId, std::string &problem) {
    selectedUser_ = userId;
    lastUser_ = int64_t(userId);
    cards_.reset();
    memoryTotal_ = 0;
    freeMemory_ = kNoMemoryValue;
    const auto directory = users_->userDirectory(userId);
    userDirectory_ = directory.value_or(std::string());
    if (directory) {
        cards_ = TQVCardList::build(*users_, userId, withTrailingSlash(*directory) + qv::kCardsTableFileName);
        memoryTotal_ = cards_->handheldMemoryTotal().value_or(0);
        freeMemory_ = cards_->handheldFreeMemory().value_or(kNoMemoryValue);
    }
    files_.openForUser(userDirectory_, plugins_.get(), cards_ ? &*cards_ : nullptr);
    if (!files_.hasDatabases()) {
        problem = kCannotLoadSyncData;
        return false;
    }
    return true;
}

}  // namespace desktop
