// One FTP reply after another, read from bytes that arrive in pieces of the input's
// choosing, under the line limit it picks, then parsed into code and text.
//
// Control bytes: the line limit; bit 0 of the next one for maSplit, its bits 5-7 the
// receive size; two piece sizes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/IdConnectionErrors.h"
#include "ftp/IdRFCReply.h"
#include "ftp/IdTCPConnection.h"
#include "net/IdException.h"
#include "net/IdGlobal.h"
#include "tests/fuzz/FuzzSupport.h"

namespace pravik::fuzz {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value a reply code of at most four bytes has as a number: decimal digits and nothing
// else ("$1F", "0x1F" and signs are no numbers); 0 for anything else.
std::int64_t CodeValue(std::string_view code) {
  if (code.empty()) return 0;
  std::int64_t value = 0;
  for (char c : code) {
    if (!IsDigit(c)) return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool Contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

void CheckReply(const std::vector<std::string>& lines, std::string_view data, std::int32_t limit) {
  FUZZ_CHECK(!lines.empty());
  for (const std::string& line : lines) {
    // Blank lines are skipped and the rest trimmed, so none is empty or starts or ends blank.
    FUZZ_CHECK(!line.empty() && !IsBlank(line.front()) && !IsBlank(line.back()));
    FUZZ_CHECK(!Contains(line, "\n"));
    FUZZ_CHECK(limit == 0 || line.size() <= static_cast<std::size_t>(limit));
    FUZZ_CHECK(Contains(data, line));
  }
  const std::string& first = lines.front();
  if (first.size() > 3 && first[3] == '-') {
    // A multi-line reply ends at the first line that starts with its code and a blank (or
    // is too short to carry a code), never later: the next reply must stay unread.
    const std::string terminator = UpperCaseAscii(first.substr(0, 3)) + " ";
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
      FUZZ_CHECK(lines[i].size() >= 4);
      FUZZ_CHECK(UpperCaseAscii(lines[i].substr(0, 4)) != terminator);
    }
    if (lines.size() > 1) {
      const std::string& last = lines.back();
      FUZZ_CHECK(last.size() < 4 || UpperCaseAscii(last.substr(0, 4)) == terminator);
    }
  } else {
    FUZZ_CHECK(lines.size() == 1);
  }

  TIdRFCReply reply;
  reply.ParseReply(lines);
  FUZZ_CHECK(reply.Text.size() == lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) FUZZ_CHECK(Contains(lines[i], reply.Text[i]));
  const std::string& code = reply.TextCode();
  FUZZ_CHECK(!code.empty() && code.size() <= 4);
  FUZZ_CHECK(first.starts_with(code));
  const std::int64_t expected = CodeValue(code);
  FUZZ_CHECK(reply.NumericCode == 0 || reply.NumericCode == expected);
  FUZZ_CHECK(reply.NumericCode == expected || expected > INT32_MAX || expected < INT32_MIN);
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
  const char pieces[] = {static_cast<char>(input.Control(2)), static_cast<char>(input.Control(3))};
  PieceTransport transport(input.Data, std::string_view(pieces, sizeof pieces));
  TIdTCPConnection connection;
  connection.SetIOHandler(&transport);
  const bool split = (input.Control(1) & 1) != 0;
  ApplyLineLimit(connection, input.Control(0), split);
  connection.RecvBufferSize = ReceiveSize(input.Control(1));
  const std::int32_t limit = connection.MaxLineLength;
  for (int replies = 0; replies < 64; ++replies) {
    std::vector<std::string> lines;
    try {
      lines = connection.ReadReplyLines();
    } catch (const EIdConnClosedGracefully&) {
      break;
    } catch (const EIdReadLnMaxLineLengthExceeded&) {
      FUZZ_CHECK(!split && limit != 0);
      break;
    }
    CheckReply(lines, input.Data, limit);
  }
  connection.SetIOHandler(nullptr);
  return 0;
}
