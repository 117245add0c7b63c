#include "net/IdIOHandler.h"

namespace pravik {

TIdIOHandler::~TIdIOHandler() { TIdIOHandler::ShutTransport(); }

}  // namespace pravik
