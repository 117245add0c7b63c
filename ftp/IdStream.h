#pragma once
// The seekable byte streams that reads write into: a growable memory block and a file.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace pravik {

// Grows without writing zeros into the new bytes: a receive or a copy fills them anyway.
template <typename T>
struct TIdUninitializedAllocator : std::allocator<T> {
  TIdUninitializedAllocator() = default;
  template <typename U>
  TIdUninitializedAllocator(const TIdUninitializedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using TIdBytes = std::vector<char, TIdUninitializedAllocator<char>>;

// SystemErrorCode is the system's number for the cause (GetLastError, errno), 0 if unknown.
class EStreamError : public std::runtime_error {
 public:
  explicit EStreamError(const std::string& message, std::int32_t systemErrorCode = 0)
      : std::runtime_error(message), SystemErrorCode(systemErrorCode) {}
  std::int32_t SystemErrorCode;
};
// "Cannot create file %s" / "Cannot open file %s" with the path.
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

class TIdStream {
 public:
  virtual ~TIdStream() = default;
  virtual std::int64_t Size() = 0;
  virtual std::int64_t Position() = 0;
  virtual void Seek(std::int64_t position) = 0;
  // Writes all `count` bytes at the position and moves past them; raises EStreamError.
  virtual void Write(const void* bytes, std::int32_t count) = 0;
  // Reads up to `count` bytes from the position; returns how many.
  virtual std::int32_t Read(void* bytes, std::int32_t count) = 0;
  // Cuts the stream at its position.
  virtual void Truncate() = 0;
};

// A block of bytes with a size, a position and a capacity.
class TIdSimpleBuffer : public TIdStream {
 public:
  using TConsumedEvent = std::function<void(TIdSimpleBuffer* Sender, std::int32_t n)>;

  std::int64_t Size() override;
  std::int64_t Position() override;
  void Seek(std::int64_t position) override;
  void Write(const void* bytes, std::int32_t count) override;
  std::int32_t Read(void* bytes, std::int32_t count) override;
  void Truncate() override;

  // Appends after the last byte, wherever the position is.
  void Append(const void* bytes, std::int32_t count);
  // The first `n` bytes as text, then removed; raises EIdNotEnoughDataInBuffer.
  virtual std::string TakeFront(std::int32_t n);
  // Removes the first `n` bytes and reports them to OnConsumed; raises EIdNotEnoughDataInBuffer.
  virtual void DropFront(std::int32_t n);
  virtual void Clear();
  // Makes the block exactly `size` bytes long; new bytes are left as they are.
  void SetSize(std::int32_t size);
  // Makes room for `count` more bytes at the end and returns where they start, so that
  // a receive fills them in place; DropBack gives back what it did not fill.
  char* GrowBack(std::int32_t count);
  void DropBack(std::int32_t count);
  std::int32_t Capacity() const { return static_cast<std::int32_t>(Block.capacity()); }
  // The first visible byte.
  virtual const char* Memory() const { return Block.data(); }
  char* Memory() { return const_cast<char*>(static_cast<const TIdSimpleBuffer*>(this)->Memory()); }
  // The visible bytes, as text.
  std::string Bytes() const;

  TConsumedEvent OnConsumed;

 protected:
  virtual std::int32_t VisibleSize() const { return static_cast<std::int32_t>(Block.size()); }
  void CheckAvailable(std::int32_t n) const;

  TIdBytes Block;
  std::int64_t Offset = 0;  // position within the block
};

// The input queue: taking from the front moves no memory until CompactThreshold bytes
// have been consumed; its visible contents start at the first unconsumed byte.
class TIdManagedBuffer : public TIdSimpleBuffer {
 public:
  std::int64_t Size() override;
  std::int64_t Position() override;
  void Seek(std::int64_t position) override;
  void DropFront(std::int32_t n) override;
  void Clear() override;
  const char* Memory() const override { return Block.data() + ConsumedCount; }

  std::int32_t CompactThreshold = 32768;
  std::int32_t ConsumedCount = 0;

 protected:
  std::int32_t VisibleSize() const override {
    return static_cast<std::int32_t>(Block.size()) - ConsumedCount;
  }
};

// A file opened for the life of the object; the path is code page 949 text.
class TIdFileStream : public TIdStream {
 public:
  enum class TOpenMode {
    fmCreate,         // create, or empty an existing file; read and write; not shared
    fmOpenReadWrite,  // an existing file, at its start; others may read it meanwhile
    fmOpenRead,       // an existing file, read only; nobody may write it meanwhile
  };
  // Raises EFCreateError "Cannot create file %s" or EFOpenError "Cannot open file %s".
  TIdFileStream(const std::string& path, TOpenMode mode);
  ~TIdFileStream() override;
  TIdFileStream(const TIdFileStream&) = delete;
  TIdFileStream& operator=(const TIdFileStream&) = delete;

  std::int64_t Size() override;
  std::int64_t Position() override;
  void Seek(std::int64_t position) override;
  void Write(const void* bytes, std::int32_t count) override;
  std::int32_t Read(void* bytes, std::int32_t count) override;
  void Truncate() override;

 private:
  struct Handle;
  std::unique_ptr<Handle> File;
};

}  // namespace pravik
