#pragma once
// The errors of the buffered connection.

#include "net/IdException.h"

namespace pravik {

PRAVIK_DECLARE_EXCEPTION(EIdTCPConnectionError, EIdException);
PRAVIK_DECLARE_EXCEPTION(EIdNotConnected, EIdTCPConnectionError);
PRAVIK_DECLARE_EXCEPTION(EIdNotEnoughDataInBuffer, EIdTCPConnectionError);
PRAVIK_DECLARE_EXCEPTION(EIdReadTimeout, EIdException);
PRAVIK_DECLARE_EXCEPTION(EIdReadLnMaxLineLengthExceeded, EIdException);
PRAVIK_DECLARE_EXCEPTION(EIdAlreadyConnected, EIdException);
// A command whose text would end the line early: "Command contains CR, LF or NUL."
PRAVIK_DECLARE_EXCEPTION(EIdCommandTextError, EIdException);

}  // namespace pravik
