#include "window_frames.h"

#include "byte_order.h"

namespace platform::frames {

namespace {

constexpr uint32_t kMessagePayload = 20;
constexpr uint32_t kReplyPayload = 8;

const uint8_t *bytesOf(std::string_view s) { return reinterpret_cast<const uint8_t *>(s.data()); }

std::string header(Kind kind, std::size_t payloadSize) {
    std::string out(kHeaderSize, '\0');
    auto *p = reinterpret_cast<uint8_t *>(out.data());
    qv::storeLE32(p, kMagic);
    qv::storeLE32(p + 4, uint32_t(kind));
    qv::storeLE32(p + 8, uint32_t(payloadSize));
    return out;
}

bool payloadSizeFits(Kind kind, uint32_t size) {
    switch (kind) {
    case Kind::Post:
    case Kind::Send: return size == kMessagePayload;
    case Kind::CopyData: return size >= 4 && size - 4 <= kMaxCopyDataBytes;
    case Kind::Reply: return size == kReplyPayload;
    }
    return false;
}

}  // namespace

std::string encodeMessage(Kind kind, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    std::string out = header(kind, kMessagePayload);
    out.resize(kHeaderSize + kMessagePayload);
    auto *p = reinterpret_cast<uint8_t *>(out.data()) + kHeaderSize;
    qv::storeLE32(p, message);
    qv::storeLE64(p + 4, uint64_t(wParam));
    qv::storeLE64(p + 12, uint64_t(int64_t(lParam)));
    return out;
}

std::string encodeCopyData(uint32_t dwData, std::string_view bytes) {
    std::string out = header(Kind::CopyData, 4 + bytes.size());
    uint8_t d[4];
    qv::storeLE32(d, dwData);
    out.append(reinterpret_cast<const char *>(d), 4);
    out.append(bytes);
    return out;
}

std::string encodeReply(intptr_t answer) {
    std::string out = header(Kind::Reply, kReplyPayload);
    uint8_t a[8];
    qv::storeLE64(a, uint64_t(int64_t(answer)));
    out.append(reinterpret_cast<const char *>(a), 8);
    return out;
}

DecodeStatus decode(std::string_view buffer, Frame &frame, std::size_t &consumed) {
    if (buffer.size() < kHeaderSize) return DecodeStatus::NeedMore;
    const uint8_t *p = bytesOf(buffer);
    uint32_t kindValue = qv::loadLE32(p + 4);
    uint32_t size = qv::loadLE32(p + 8);
    if (qv::loadLE32(p) != kMagic || kindValue < 1 || kindValue > 4) return DecodeStatus::Bad;
    auto kind = Kind(kindValue);
    if (!payloadSizeFits(kind, size)) return DecodeStatus::Bad;
    if (buffer.size() - kHeaderSize < size) return DecodeStatus::NeedMore;
    const uint8_t *payload = p + kHeaderSize;
    frame = Frame();
    frame.kind = kind;
    switch (kind) {
    case Kind::Post:
    case Kind::Send:
        frame.message.message = qv::loadLE32(payload);
        frame.message.wParam = uintptr_t(qv::loadLE64(payload + 4));
        frame.message.lParam = intptr_t(int64_t(qv::loadLE64(payload + 12)));
        frame.message.sent = kind == Kind::Send;
        break;
    case Kind::CopyData:
        frame.copyData.dwData = qv::loadLE32(payload);
        frame.copyData.bytes.assign(buffer.substr(kHeaderSize + 4, size - 4));
        break;
    case Kind::Reply:
        frame.answer = intptr_t(int64_t(qv::loadLE64(payload)));
        break;
    }
    consumed = kHeaderSize + size;
    return DecodeStatus::Complete;
}

}  // namespace platform::frames
