// The card pass of a run: finds the handheld's mounted card volumes, gives
// each card its identity file, builds the card table and records the cards
// in the user's cards table on the PC. A run makes it twice, before the
// other steps and after the synchronization.
#pragma once

#include "conduit_context.h"

#include <string>

namespace conduit {

inline constexpr const char kCardIdentityPath[] = "/QVCardInfo.db";

// Rebuilds the card table: the mounted volumes that can be identified and
// measured, in enumeration order (at most 31), then the internal memory;
// then updates the cards table of the user.
void refreshCards(ConduitContext &context, const std::string &userName);

}  // namespace conduit
