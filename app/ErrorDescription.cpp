#include "app/ErrorDescription.h"

#include <typeinfo>

#include "app/UpdateServices.h"
#include "db/EDatabaseError.h"
#include "ftp/IdRFCReply.h"
#include "ftp/IdStream.h"
#include "net/IdException.h"

namespace pravik::app {

std::string ClassNameOf(const std::exception& error) {
  // GCC's mangled "N6pravik14EIdSocketErrorE" or MSVC's "class pravik::EIdSocketError".
  std::string name = typeid(error).name();
  for (const char* prefix : {"class ", "struct "}) {
    if (name.rfind(prefix, 0) == 0) name = name.substr(std::char_traits<char>::length(prefix));
  }
  if (const std::size_t colons = name.rfind("::"); colons != std::string::npos) return name.substr(colons + 2);
  std::size_t at = name.size() > 0 && name[0] == 'N' ? 1 : 0;
  std::string last = name;
  while (at < name.size() && name[at] >= '0' && name[at] <= '9') {
    std::size_t length = 0;
    while (at < name.size() && name[at] >= '0' && name[at] <= '9') length = length * 10 + (name[at++] - '0');
    last = name.substr(at, length);
    at += length;
  }
  return last;
}

namespace {

// The codes an error carries for its cause, as "Winsock error 10061" and the like.
std::string CodesOf(const std::exception& error) {
  if (const auto* socket = dynamic_cast<const EIdSocketError*>(&error))
    return "Winsock error " + std::to_string(socket->SocketErrorCode);
  if (const auto* reply = dynamic_cast<const EIdProtocolReplyError*>(&error))
    return "reply " + std::to_string(reply->ReplyCode);
  if (const auto* binding = dynamic_cast<const EIdWS2StubError*>(&error))
    return binding->SystemErrorCode ? "system error " + std::to_string(binding->SystemErrorCode) : std::string();
  if (const auto* stream = dynamic_cast<const EStreamError*>(&error))
    return stream->SystemErrorCode ? "system error " + std::to_string(stream->SystemErrorCode) : std::string();
  if (const auto* output = dynamic_cast<const EInOutError*>(&error))
    return "I/O error " + std::to_string(output->ErrorCode);
  if (const auto* database = dynamic_cast<const EDatabaseError*>(&error)) {
    if (database->SqlState.empty()) return {};
    return "SQLSTATE " + database->SqlState + ", native error " + std::to_string(database->NativeError);
  }
  return {};
}

}  // namespace

std::string DescribeError(const std::exception& error) {
  const std::string codes = CodesOf(error);
  return ClassNameOf(error) + (codes.empty() ? "" : " (" + codes + ")") + ": " + error.what();
}

}  // namespace pravik::app
