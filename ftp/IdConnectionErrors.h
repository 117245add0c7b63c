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

}  // namespace pravik
