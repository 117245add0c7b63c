#include "ftp/IdStream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ftp/IdConnectionErrors.h"

namespace pravik {
namespace {

std::string Fill(char c, std::size_t n) { return std::string(n, c); }

TEST(ManagedBufferTest, TakingFromTheFrontMovesNoMemoryUntilTheThreshold) {
  TIdManagedBuffer queue;
  std::vector<std::int32_t> consumed;
  queue.OnConsumed = [&](TIdSimpleBuffer*, std::int32_t n) { consumed.push_back(n); };
  const std::string data = Fill('a', 32000) + Fill('b', 1000) + Fill('c', 100);
  queue.Append(data.data(), static_cast<std::int32_t>(data.size()));
  const char* start = queue.Memory();

  queue.DropFront(32000);
  EXPECT_EQ(queue.Memory(), start + 32000);  // nothing moved
  EXPECT_EQ(queue.ConsumedCount, 32000);
  EXPECT_EQ(queue.Size(), 1100);
  EXPECT_EQ(queue.Bytes(), Fill('b', 1000) + Fill('c', 100));

  EXPECT_EQ(queue.TakeFront(1000), Fill('b', 1000));  // reaches 33000 >= 32768: compacted
  EXPECT_EQ(queue.ConsumedCount, 0);
  EXPECT_EQ(queue.Size(), 100);
  EXPECT_EQ(queue.Bytes(), Fill('c', 100));
  EXPECT_EQ(consumed, (std::vector<std::int32_t>{32000, 1000}));
}

TEST(ManagedBufferTest, TakingMoreThanQueuedRaisesAndKeepsTheQueue) {
  TIdManagedBuffer queue;
  queue.Append("abc", 3);
  try {
    queue.TakeFront(4);
    ADD_FAILURE() << "took more than queued";
  } catch (const EIdNotEnoughDataInBuffer& e) {
    EXPECT_EQ(e.Message(), "Not enough data in buffer.");
  }
  EXPECT_THROW(queue.DropFront(4), EIdNotEnoughDataInBuffer);
  EXPECT_EQ(queue.Bytes(), "abc");
}

TEST(ManagedBufferTest, DroppingEverythingClearsAndClearingReportsNothing) {
  TIdManagedBuffer queue;
  int reports = 0;
  queue.OnConsumed = [&](TIdSimpleBuffer*, std::int32_t) { ++reports; };
  queue.Append("abcdef", 6);
  queue.DropFront(2);
  queue.DropFront(4);
  EXPECT_EQ(queue.Size(), 0);
  EXPECT_EQ(queue.ConsumedCount, 0);
  EXPECT_EQ(reports, 2);
  queue.Append("xyz", 3);
  queue.Clear();
  EXPECT_EQ(reports, 2);
  EXPECT_EQ(queue.Size(), 0);
}

TEST(ManagedBufferTest, PositionsCountFromTheFirstUnconsumedByte) {
  TIdManagedBuffer queue;
  queue.Append("0123456789", 10);
  queue.DropFront(4);
  queue.Seek(2);
  char two[2];
  EXPECT_EQ(queue.Read(two, 2), 2);
  EXPECT_EQ(std::string(two, 2), "67");
  EXPECT_EQ(queue.Position(), 4);
}

TEST(SimpleBufferTest, DroppingMovesTheRestToTheStartAtOnce) {
  TIdSimpleBuffer buffer;
  buffer.Append("abcdef", 6);
  std::int32_t reported = 0;
  buffer.OnConsumed = [&](TIdSimpleBuffer*, std::int32_t n) { reported = n; };
  buffer.DropFront(2);
  EXPECT_EQ(buffer.Bytes(), "cdef");
  EXPECT_EQ(reported, 2);
  EXPECT_THROW(buffer.TakeFront(5), EIdNotEnoughDataInBuffer);
}

TEST(SimpleBufferTest, WritesAtThePositionAndCutsThere) {
  TIdSimpleBuffer stream;
  stream.Write("0123456789", 10);
  stream.Seek(3);
  stream.Write("ab", 2);
  EXPECT_EQ(stream.Position(), 5);
  stream.Truncate();
  EXPECT_EQ(stream.Bytes(), "012ab");
}

class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Folder = std::filesystem::temp_directory_path() /
             ("pravik-stream-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(Folder);
    std::filesystem::create_directories(Folder);
  }
  void TearDown() override { std::filesystem::remove_all(Folder); }
  std::string PathOf(const char* name) const { return (Folder / name).string(); }
  std::filesystem::path Folder;
};

TEST_F(FileStreamTest, CreatesWritesSeeksAndCuts) {
  const std::string path = PathOf("PravikNW.exe");
  {
    TIdFileStream file(path, TIdFileStream::TOpenMode::fmCreate);
    file.Write("MZ0123456789", 12);
    EXPECT_EQ(file.Size(), 12);
    file.Seek(4);
    file.Write("xy", 2);
    file.Truncate();
    EXPECT_EQ(file.Size(), 6);
  }
  {
    TIdFileStream again(path, TIdFileStream::TOpenMode::fmOpenReadWrite);
    char bytes[16] = {};
    EXPECT_EQ(again.Read(bytes, sizeof bytes), 6);
    EXPECT_EQ(std::string(bytes, 6), "MZ01xy");
  }
  { TIdFileStream emptied(path, TIdFileStream::TOpenMode::fmCreate); }
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST_F(FileStreamTest, NamesThePathWhenCreatingOrOpeningFails) {
  const std::string inMissingFolder = PathOf("missing/Version.txt");
  try {
    TIdFileStream file(inMissingFolder, TIdFileStream::TOpenMode::fmCreate);
    ADD_FAILURE() << "created in a missing folder";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + inMissingFolder);
  }
  const std::string missing = PathOf("absent.txt");
  try {
    TIdFileStream file(missing, TIdFileStream::TOpenMode::fmOpenRead);
    ADD_FAILURE() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing);
  }
}

}  // namespace
}  // namespace pravik
