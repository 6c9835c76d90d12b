// The user's cards table on the PC ("QVDPCardsDB.db" in the user folder):
// one record per card ever seen and one for the handheld's internal memory.
// Each card pass marks every record absent, then adds or updates one record
// per entry of the card table; a name the user gave a card on the desktop
// is written to the card. The conduit never removes a record.
#pragma once

#include "conduit_context.h"

#include <string>

namespace conduit {

inline constexpr const char kCannotCreateCardsTableText[] = "Can not create cards database on PC";
inline constexpr const char kCannotOpenCardsTableText[] = "Can not open cards database on PC";
inline constexpr const char kCannotReadCardsTableText[] = "Can not read cards database on PC";
inline constexpr const char kCannotWriteCardsTableText[] = "Can not write to cards database on PC";

// Updates the cards table of the named user with the card table of the
// context; a user the User Manager does not know keeps the table untouched.
// Failures are logged and never stop the run.
void updateCardsTable(ConduitContext &context, const std::string &userName);

// The current time as a date of the table: UTC, days since 30 December 1899.
double utcOleDateNow();

}  // namespace conduit
