// Result codes of the document conversions and their texts: the readers and
// writers return small internal values, the conversion functions turn them
// into the codes the plug-in reports, and resultText gives the message the
// user sees for a code.
#pragma once

#include <cstdint>

namespace conv {

// Results that bypass the table of internal values.
inline constexpr uint32_t kResultCannotOpenSource = 0xA00206;
inline constexpr uint32_t kResultCannotCreateDestination = 0xA00207;
inline constexpr uint32_t kResultNoError = 0x07000000;

// The result code of an internal value (0 stays 0).
uint32_t resultFromInternal(int internal);
// The message of a result code; "Unknown Error" for codes it does not know.
const char *resultText(uint32_t code);
// A result is a failure when any bit of 0xFFFF00 is set.
inline bool resultFailed(uint32_t code) { return (code & 0xFFFF00) != 0; }

}  // namespace conv
