#pragma once
// The errors of the FTP session, the retrieval and the data listener.

#include <stdexcept>

#include "net/IdException.h"

namespace pravik {

// "Destination file already exists."
PRAVIK_DECLARE_EXCEPTION(EIdFTPFileAlreadyExists, EIdException);
// The server did not open the data connection within the client's time limit.
PRAVIK_DECLARE_EXCEPTION(EIdAcceptTimeout, EIdException);
// A transfer that brought another number of bytes than the server gave as the file's size:
// "Size check: the server gave %s bytes, %s arrived."
PRAVIK_DECLARE_EXCEPTION(EIdFTPSizeMismatch, EIdException);

// A text that is not what a conversion needs: "'%s' is not a valid integer value",
// "Cannot assign a %s to a %s".
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace pravik
