// The card pass of a run: finds the handheld's mounted card volumes, builds
// the card table and records the cards in the user's cards table on the PC.
// A run makes it twice, before the other steps and after the synchronization.
#pragma once

#include "conduit_context.h"

#include <string>

namespace conduit {

// Not built yet: leaves the card table as it is. The run calls it in its
// place so that the steps keep their order.
void refreshCards(ConduitContext &context, const std::string &userName);

}  // namespace conduit
