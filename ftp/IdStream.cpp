#include "ftp/IdStream.h"

#include <algorithm>
#include <cstring>

#include "ftp/IdConnectionErrors.h"
#include "ftp/IdFtpResourceStrings.h"

namespace pravik {

// TIdSimpleBuffer

std::int64_t TIdSimpleBuffer::Size() { return VisibleSize(); }

std::int64_t TIdSimpleBuffer::Position() { return Offset; }

void TIdSimpleBuffer::Seek(std::int64_t position) { Offset = std::max<std::int64_t>(position, 0); }

void TIdSimpleBuffer::Write(const void* bytes, std::int32_t count) {
  if (count <= 0) return;
  const std::size_t end = static_cast<std::size_t>(Offset) + static_cast<std::size_t>(count);
  if (end > Block.size()) Block.resize(end);
  std::memcpy(Block.data() + Offset, bytes, static_cast<std::size_t>(count));
  Offset = static_cast<std::int64_t>(end);
}

std::int32_t TIdSimpleBuffer::Read(void* bytes, std::int32_t count) {
  const std::int64_t available = static_cast<std::int64_t>(Block.size()) - Offset;
  const std::int32_t n = static_cast<std::int32_t>(std::clamp<std::int64_t>(available, 0, std::max(count, 0)));
  if (n > 0) std::memcpy(bytes, Block.data() + Offset, static_cast<std::size_t>(n));
  Offset += n;
  return n;
}

void TIdSimpleBuffer::Truncate() {
  if (Offset < static_cast<std::int64_t>(Block.size())) Block.resize(static_cast<std::size_t>(Offset));
}

void TIdSimpleBuffer::Append(const void* bytes, std::int32_t count) {
  if (count <= 0) return;
  const char* first = static_cast<const char*>(bytes);
  Block.insert(Block.end(), first, first + count);
}

void TIdSimpleBuffer::SetSize(std::int32_t size) {
  Block.resize(static_cast<std::size_t>(std::max(size, 0)));
  Offset = std::min<std::int64_t>(Offset, static_cast<std::int64_t>(Block.size()));
}

char* TIdSimpleBuffer::GrowBack(std::int32_t count) {
  const std::size_t end = Block.size();
  Block.resize(end + static_cast<std::size_t>(std::max(count, 0)));
  return Block.data() + end;
}

void TIdSimpleBuffer::DropBack(std::int32_t count) {
  Block.resize(Block.size() - static_cast<std::size_t>(std::clamp(count, 0, VisibleSize())));
  Offset = std::min<std::int64_t>(Offset, static_cast<std::int64_t>(Block.size()));
}

std::string TIdSimpleBuffer::Bytes() const {
  return std::string(Memory(), static_cast<std::size_t>(VisibleSize()));
}

void TIdSimpleBuffer::CheckAvailable(std::int32_t n) const {
  if (VisibleSize() < n) throw EIdNotEnoughDataInBuffer(rs::NotEnoughDataInBuffer);
}

std::string TIdSimpleBuffer::TakeFront(std::int32_t n) {
  CheckAvailable(n);
  std::string front(Memory(), static_cast<std::size_t>(n));
  DropFront(n);
  return front;
}

void TIdSimpleBuffer::DropFront(std::int32_t n) {
  CheckAvailable(n);
  if (n == VisibleSize()) {
    Clear();
  } else {
    Block.erase(Block.begin(), Block.begin() + n);
    Offset = std::max<std::int64_t>(Offset - n, 0);
  }
  if (OnConsumed) OnConsumed(this, n);
}

void TIdSimpleBuffer::Clear() {
  Block.clear();
  Offset = 0;
}

// TIdManagedBuffer

std::int64_t TIdManagedBuffer::Size() { return VisibleSize(); }

std::int64_t TIdManagedBuffer::Position() { return Offset - ConsumedCount; }

void TIdManagedBuffer::Seek(std::int64_t position) {
  Offset = std::max<std::int64_t>(position, 0) + ConsumedCount;
}

void TIdManagedBuffer::DropFront(std::int32_t n) {
  CheckAvailable(n);
  if (n == VisibleSize()) {
    Clear();
  } else {
    ConsumedCount += n;
    if (ConsumedCount >= CompactThreshold) {
      // Move the unconsumed bytes to the start once; the block keeps its capacity for
      // the receives that follow.
      Block.erase(Block.begin(), Block.begin() + ConsumedCount);
      Offset = std::max<std::int64_t>(Offset - ConsumedCount, 0);
      ConsumedCount = 0;
    }
  }
  if (OnConsumed) OnConsumed(this, n);
}

void TIdManagedBuffer::Clear() {
  TIdSimpleBuffer::Clear();
  ConsumedCount = 0;
}

}  // namespace pravik
