// The line reader over bytes cut into pieces anywhere, and the token cut that address and
// reply parsing build on.
//
// Control bytes: the line limit; then bit 0 for maSplit, bits 1-2 the delimiter's length
// (taken from the end of the data), bit 3 a case-sensitive cut, bit 4 a deleting one, bits
// 5-7 the receive size; two piece sizes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/IdConnectionErrors.h"
#include "ftp/IdTCPConnection.h"
#include "net/IdException.h"
#include "net/IdGlobal.h"
#include "tests/fuzz/FuzzSupport.h"

namespace pravik::fuzz {
namespace {

enum class End { Closed, TooLong, Cap };

struct Reading {
  std::vector<std::string> Lines;
  std::vector<bool> Split;
  End Ending = End::Cap;
  bool operator==(const Reading&) const = default;
};

Reading ReadAllLines(std::string_view data, std::string_view pieces, std::int32_t receiveSize,
                     std::uint8_t limitSelector, bool split) {
  PieceTransport transport(data, pieces);
  TIdTCPConnection connection;
  connection.SetIOHandler(&transport);
  ApplyLineLimit(connection, limitSelector, split);
  connection.RecvBufferSize = receiveSize;
  Reading reading;
  // Every line takes at least one byte, so this many reads reach the end of any input.
  for (std::size_t i = 0; i <= data.size(); ++i) {
    try {
      reading.Lines.push_back(connection.ReadTextLine());
      reading.Split.push_back(connection.LineWasSplit);
    } catch (const EIdConnClosedGracefully&) {
      reading.Ending = End::Closed;
      break;
    } catch (const EIdReadLnMaxLineLengthExceeded&) {
      reading.Ending = End::TooLong;
      break;
    }
  }
  connection.SetIOHandler(nullptr);
  return reading;
}

// The lines with their terminators put back together are the input up to where reading
// stopped, and what stopped it is what the rest of the input holds.
void CheckAgainstInput(const Reading& reading, std::string_view data, std::uint8_t limitSelector,
                       bool split) {
  TIdTCPConnection probe;
  ApplyLineLimit(probe, limitSelector, split);
  const auto limit = static_cast<std::size_t>(probe.MaxLineLength);
  std::size_t at = 0;
  for (std::size_t i = 0; i < reading.Lines.size(); ++i) {
    const std::string& line = reading.Lines[i];
    FUZZ_CHECK(data.substr(at).starts_with(line));
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    at += line.size();
    if (reading.Split[i]) {
      FUZZ_CHECK(split && limit != 0 && line.size() == limit);
      continue;
    }
    FUZZ_CHECK(limit == 0 || line.size() <= limit);
    if (data.substr(at).starts_with("\n")) {
      FUZZ_CHECK(line.empty() || line.back() != '\r');  // a CR before the LF is no text
      at += 1;
    } else {
      FUZZ_CHECK(data.substr(at).starts_with("\r\n"));
      at += 2;
    }
  }
  const std::string_view rest = data.substr(at);
  const std::size_t lf = rest.find('\n');
  const std::size_t nextLine = lf == std::string_view::npos ? rest.size() : lf;
  switch (reading.Ending) {
    case End::Closed:
      // No complete line is lost at the close, nor an overlong one passed over.
      FUZZ_CHECK(lf == std::string_view::npos);
      FUZZ_CHECK(limit == 0 || rest.size() <= limit);
      break;
    case End::TooLong:
      FUZZ_CHECK(!split && limit != 0 && nextLine > limit);
      break;
    case End::Cap:
      FUZZ_CHECK(false);
  }
}

bool SameByte(char a, char b, bool caseSensitive) {
  if (caseSensitive) return a == b;
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return upper(a) == upper(b);
}

void CheckCutToken(std::string text, const std::string& delimiter, bool caseSensitive,
                   bool deleteToken) {
  // An empty delimiter cuts an empty token and removes nothing: one cut says all.
  const int cuts = delimiter.empty() || !deleteToken ? 1 : 64;
  for (int i = 0; i < cuts && !text.empty(); ++i) {
    const std::string before = text;
    const std::string token = CutToken(text, delimiter, deleteToken, caseSensitive);
    const auto found = std::search(before.begin(), before.end(), delimiter.begin(), delimiter.end(),
                                   [&](char a, char b) { return SameByte(a, b, caseSensitive); });
    if (found == before.end() && !delimiter.empty()) {
      FUZZ_CHECK(token == before);
      FUZZ_CHECK(text == (deleteToken ? std::string() : before));
      continue;
    }
    const auto at = static_cast<std::size_t>(found - before.begin());
    FUZZ_CHECK(token == before.substr(0, at));
    FUZZ_CHECK(text == (deleteToken ? before.substr(at + delimiter.size()) : before));
  }
}

}  // namespace
}  // namespace pravik::fuzz

using namespace pravik;
using namespace pravik::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InstallNoLookupStack();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const FuzzInput input(bytes, size, 4);
  const std::uint8_t flags = input.Control(1);
  const bool split = (flags & 1) != 0;
  const char pieces[] = {static_cast<char>(input.Control(2)), static_cast<char>(input.Control(3))};

  // libFuzzer's inputs fit one receive of 4096 bytes: this run gets them in one piece.
  const Reading whole = ReadAllLines(input.Data, {}, 4096, input.Control(0), split);
  CheckAgainstInput(whole, input.Data, input.Control(0), split);
  const Reading cut = ReadAllLines(input.Data, std::string_view(pieces, sizeof pieces),
                                   ReceiveSize(flags), input.Control(0), split);
  FUZZ_CHECK(cut == whole);

  const std::size_t delimiterSize = std::min<std::size_t>((flags >> 1) & 3, input.Data.size());
  const std::string_view text = input.Data.substr(0, input.Data.size() - delimiterSize);
  const std::string_view delimiter = input.Data.substr(text.size());
  CheckCutToken(std::string(text), std::string(delimiter), (flags & 8) != 0, (flags & 16) != 0);
  return 0;
}
