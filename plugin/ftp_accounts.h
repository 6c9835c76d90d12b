// The handheld's FTP accounts as the desktop keeps them in "AARDVARK": a
// 32-bit little-endian count, then per account a 32-bit little-endian length
// and the handheld record, scrambled. A record holds five NUL-terminated
// texts (account name, host, user name, password, one more) followed by the
// port (u16) and one more 32-bit value, both big-endian.
#pragma once

#include "QVDocsPlugin.h"
#include "handheld_records.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace qvplugin {

// Combines byte j with byte (j mod 4) of the key 6B2E91DC taken in
// little-endian order. Applying it twice restores the bytes.
void scrambleRecord(uint8_t *bytes, size_t size);

// Points the account's texts into `record` (unscrambled) and reads its port
// and value. False when the record does not hold five terminated texts and
// the six bytes after them.
bool parseAccountRecord(uint8_t *record, size_t size, QVDP_FtpAccount &account);

// Loads every account of the file into `list` (which it empties first).
// Answers 0; 8 when the file cannot be opened (a missing one is created
// empty); 62 when it ends early or an account record is malformed; 4 when
// memory runs out. On failure the list is empty and nothing stays allocated.
int32_t loadFtpAccounts(const std::filesystem::path &file, QVDP_FtpAccounts &list);

// Frees every record and the array; count 0, items null.
void freeFtpAccounts(QVDP_FtpAccounts &list);

// Writes every record of the handheld database into the file, scrambled,
// through a temporary file: on failure the file keeps what it held.
// Answers 0, or 8 when a record cannot be read or the file written.
int32_t copyFtpAccountsFromHandheld(const std::filesystem::path &file, HandheldRecords &database);

}  // namespace qvplugin
