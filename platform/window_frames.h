// The frames window messages travel in (see window_endpoint.h): u32 magic,
// u32 kind, u32 payload length, then the payload, all little-endian.
//   post / send: u32 message, u64 wParam, i64 lParam       (20 bytes)
//   copy data:   u32 dwData, then the block's bytes        (4 + n bytes)
//   reply:       i64 answer                                (8 bytes)
#pragma once

#include "window_endpoint.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform::frames {

constexpr uint32_t kMagic = 0x4D575651;  // "QVWM"
constexpr std::size_t kHeaderSize = 12;

enum class Kind : uint32_t { Post = 1, Send = 2, CopyData = 3, Reply = 4 };

struct Frame {
    Kind kind = Kind::Post;
    WindowMessage message;  // Post, Send
    CopyDataBlock copyData;  // CopyData
    intptr_t answer = 0;     // Reply
};

std::string encodeMessage(Kind kind, uint32_t message, uintptr_t wParam, intptr_t lParam);
std::string encodeCopyData(uint32_t dwData, std::string_view bytes);
std::string encodeReply(intptr_t answer);

enum class DecodeStatus { NeedMore, Bad, Complete };
// Decodes the frame at the start of `buffer`. A header that cannot start a
// valid frame is Bad as soon as its 12 bytes are there.
DecodeStatus decode(std::string_view buffer, Frame &frame, std::size_t &consumed);

}  // namespace platform::frames
