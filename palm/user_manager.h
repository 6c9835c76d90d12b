// The User Manager: the Palm users of this HotSync installation, kept in the
// machine folder's HotSync root ("Palm/users.ini"; each user has an id, a
// name and a folder under the root). Names are unique without regard to
// case. For each user it keeps the HotSync action per creator (permanent and
// next-HotSync-only) and the expansion slots of the user's handheld as the
// last HotSync found them. Answers are 0 or an error of palm_errors.h
// (-523 a user of that name exists).
#pragma once

#include "palm_errors.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#pragma GCC visibility push(default)

namespace palm::users {

constexpr size_t kMaxUserNameLength = 63;

// HotSync actions of the user preferences.
enum Action : int32_t {
    kActionSynchronize = 0,
    kActionDesktopOverwritesHandheld = 1,
    kActionHandheldOverwritesDesktop = 2,
    kActionDoNothing = 3,
};

struct Slot {
    uint32_t slotRef = 0;
    std::string displayName;
};

// Empty when the user store can be read, otherwise what is wrong with it
// (naming the file).
std::string storeProblem();

uint16_t userCount();
int32_t userIdAt(uint16_t index, uint32_t &id);
int32_t userName(uint32_t id, std::string &name);
int32_t idFromName(const std::string &name, uint32_t &id);
// The user whose folder the path is (or lies in).
int32_t idFromPath(const std::string &path, uint32_t &id);

// The HotSync root folder, ending in "/".
std::string rootDirectory();
// The user's folder name inside the root.
int32_t userDirectory(uint32_t id, std::string &directory);
// Root and user folder joined.
int32_t userFolder(uint32_t id, std::filesystem::path &folder);

// Adds a user with a new id and a new folder; -523 when the name is taken.
int32_t addUser(const std::string &name, uint32_t &id);
// Removes the user from the list; the folder and its files stay.
int32_t deleteUser(uint32_t id);
int32_t renameUser(uint32_t id, const std::string &newName);

int32_t getPermanentAction(uint32_t id, uint32_t creator, int32_t &action);
int32_t setPermanentAction(uint32_t id, uint32_t creator, int32_t action);
int32_t deletePermanentAction(uint32_t id, uint32_t creator);
int32_t getTemporaryAction(uint32_t id, uint32_t creator, int32_t &action);
int32_t setTemporaryAction(uint32_t id, uint32_t creator, int32_t action);
int32_t removeTemporaryAction(uint32_t id, uint32_t creator);

int32_t slotCount(uint32_t id, uint16_t &count);
int32_t slots(uint32_t id, std::vector<Slot> &slots);
int32_t slotDisplayName(uint32_t id, uint32_t slotRef, std::string &name);
// Records the slots of the user's handheld (the HotSync host does this).
int32_t setSlots(uint32_t id, const std::vector<Slot> &slots);

}  // namespace palm::users

#pragma GCC visibility pop
