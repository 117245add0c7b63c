#include "net/posix/IdPosixErrors.h"

#include <netdb.h>

#include <cerrno>

namespace pravik {

int WinsockCodeFromErrno(int error) {
  switch (error) {
    case EINTR: return 10004;
    // A descriptor that is no open file is, in Windows terms, a value that is no socket.
    case EBADF: return 10038;
    case EACCES:
    case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE:
    case ENFILE: return 10024;
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
#endif
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
#if EOPNOTSUPP != ENOTSUP
    case ENOTSUP:
#endif
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS:
    case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    // A send after the connection was shut down: Windows reports WSAESHUTDOWN there.
    case EPIPE:
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    default: return 10107;
  }
}

int WinsockCodeFromResolver(int eaiCode, int error) {
  switch (eaiCode) {
    case EAI_NONAME: return 11001;  // WSAHOST_NOT_FOUND
#ifdef EAI_NODATA
    case EAI_NODATA: return 11004;  // WSANO_DATA: the name exists without an address
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return 11004;
#endif
    case EAI_AGAIN: return 11002;   // WSATRY_AGAIN
    case EAI_FAIL: return 11003;    // WSANO_RECOVERY
    case EAI_MEMORY: return 10055;
    case EAI_FAMILY: return 10047;
    case EAI_SOCKTYPE: return 10044;
    case EAI_SERVICE: return 10109;  // WSATYPE_NOT_FOUND
    case EAI_BADFLAGS: return 10022;
    case EAI_SYSTEM: return WinsockCodeFromErrno(error);
    default: return 11003;
  }
}

}  // namespace pravik
