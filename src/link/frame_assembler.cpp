#include "link/frame_assembler.h"

#include <algorithm>
#include <cstring>

#include "link/crc8.h"

namespace sensorlink {

std::size_t FrameAssembler::Feed(std::span<const std::uint8_t> bytes) {
    const std::size_t take = std::min(bytes.size(), Room());
    if (take > 0) std::memcpy(buffer_.data() + size_, bytes.data(), take);
    size_ += take;
    return take;
}

std::span<std::uint8_t> FrameAssembler::Space() {
    return {buffer_.data() + size_, Room()};
}

void FrameAssembler::Commit(std::size_t count) {
    size_ += std::min(count, Room());
}

FrameAssembler::Status FrameAssembler::Front() const {
    if (size_ < kHeaderSize) return Status::Incomplete;
    if (!HeaderValid(buffer_.data())) return Status::BadHeader;
    const std::size_t length = ReadWord(buffer_.data() + 4);
    if (length > kMaxPayload) return Status::TooLong;
    if (size_ < kHeaderSize + length) return Status::Incomplete;
    if (length > 0 && Crc8(buffer_.data(), kHeaderSize, length) != buffer_[6]) {
        return Status::BadPayload;
    }
    return Status::Frame;
}

FrameHeader FrameAssembler::Header() const {
    if (!HasHeader()) return {};
    return ParseHeader(buffer_.data());
}

std::span<const std::uint8_t> FrameAssembler::FrontBytes() const {
    if (!HasHeader()) return {buffer_.data(), size_};
    const std::size_t whole = kHeaderSize + ReadWord(buffer_.data() + 4);
    return {buffer_.data(), std::min(whole, size_)};
}

void FrameAssembler::Pop() {
    const std::size_t count = FrontBytes().size();
    std::memmove(buffer_.data(), buffer_.data() + count, size_ - count);
    size_ -= count;
    ++generation_;
}

void FrameAssembler::Clear() {
    size_ = 0;
    ++generation_;
}

}  // namespace sensorlink
