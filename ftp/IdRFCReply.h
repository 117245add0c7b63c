#pragma once
// One numeric FTP reply: its code and its text lines.

#include <cstdint>
#include <string>
#include <vector>

#include "net/IdException.h"

namespace pravik {

// A reply whose code the caller does not accept; the message is the reply's text lines,
// each followed by CR LF.
class EIdProtocolReplyError : public EIdException {
 public:
  EIdProtocolReplyError(std::int32_t code, const std::string& message)
      : EIdException(message), ReplyCode(code) {}
  std::int32_t ReplyCode;
};

// Reply codes the client names.
inline constexpr std::int16_t ReplyAcceptAny = -1;

class TIdRFCReply {
 public:
  // Reads the code from the start of the first line and the text after it; further
  // lines lose their code prefix, or their leading blanks when they carry no code.
  void ParseReply(const std::vector<std::string>& lines);
  void ClearReply();
  void CopyReplyFrom(const TIdRFCReply& source);

  // Stores the code as it stood and sets NumericCode to its value (0 when it is no number).
  void SetTextCode(const std::string& code);
  const std::string& TextCode() const { return FTextCode; }

  std::int32_t NumericCode = 0;
  std::vector<std::string> Text;

 private:
  std::string FTextCode;
};

// Removes bytes of value 0 to 32 at both ends / at the start.
std::string TrimControlAndBlanks(const std::string& text);
std::string TrimLeftControlAndBlanks(const std::string& text);

}  // namespace pravik
