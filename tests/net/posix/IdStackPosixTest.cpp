#include "net/posix/IdStackPosix.h"

#include <gtest/gtest.h>

#include <netdb.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "net/IdComponent.h"
#include "net/IdSocketHandle.h"
#include "net/posix/IdPosixErrors.h"
#include "tests/support/NetTestSupport.h"

namespace pravik {
namespace {

using test::ConnectTransport;
using test::OpenListener;

TEST(PosixErrorsTest, ErrnoValuesBecomeWindowsSocketsNumbers) {
  const std::pair<int, int> rows[] = {
      {EINTR, 10004},        {EBADF, 10038},         {EACCES, 10013},       {EPERM, 10013},
      {EFAULT, 10014},       {EINVAL, 10022},        {EMFILE, 10024},       {EAGAIN, 10035},
      {EINPROGRESS, 10036},  {EALREADY, 10037},      {ENOTSOCK, 10038},     {EMSGSIZE, 10040},
      {ENOPROTOOPT, 10042},  {EAFNOSUPPORT, 10047},  {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},
      {ENETDOWN, 10050},     {ENETUNREACH, 10051},   {ECONNABORTED, 10053}, {ECONNRESET, 10054},
      {ENOBUFS, 10055},      {EISCONN, 10056},       {ENOTCONN, 10057},     {EPIPE, 10058},
      {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},  {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},
      {0, 10107},            {EIO, 10107}};
  for (const auto& [error, code] : rows) EXPECT_EQ(WinsockCodeFromErrno(error), code) << error;
}

TEST(PosixErrorsTest, ResolverFailuresBecomeWindowsSocketsNumbers) {
  const std::pair<int, int> rows[] = {{EAI_NONAME, 11001}, {EAI_AGAIN, 11002}, {EAI_FAIL, 11003},
                                      {EAI_NODATA, 11004}, {EAI_MEMORY, 10055}, {EAI_FAMILY, 10047},
                                      {EAI_SERVICE, 10109}};
  for (const auto& [eai, code] : rows) EXPECT_EQ(WinsockCodeFromResolver(eai, 0), code) << eai;
  EXPECT_EQ(WinsockCodeFromResolver(EAI_SYSTEM, ECONNREFUSED), 10061);
}

class PosixStackTest : public ::testing::Test {
 protected:
  TIdComponent StackUser;
};

TEST_F(PosixStackTest, SendToAClosedPeerFailsWithoutSignal) {
  // The default disposition of SIGPIPE ends the process: this test would not return.
  ASSERT_EQ(std::signal(SIGPIPE, SIG_DFL), SIG_DFL);
  auto listener = OpenListener();
  auto client = ConnectTransport(listener->Port);
  {
    TIdSocketHandle server;
    ASSERT_TRUE(server.AcceptFrom(listener->SysSocket));
  }  // closed
  const std::string block(65536, 'x');
  int result = 0;
  for (int i = 0; i < 100 && result >= 0; ++i) result = client->SendBuf(block.data(), static_cast<int>(block.size()));
  EXPECT_EQ(result, -1);
  const int code = GlobalStack->SockLastError();
  EXPECT_TRUE(code == 10054 || code == 10058) << code;
}

TEST_F(PosixStackTest, WaitsOnDescriptorsBeyondTheSelectSetLimit) {
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  const rlim_t wanted = 2100;
  if (limit.rlim_max < wanted) GTEST_SKIP() << "descriptor limit too low";
  if (limit.rlim_cur < wanted) {
    rlimit raised = limit;
    raised.rlim_cur = wanted;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
  }
  auto listener = OpenListener();
  const int high = 2000;  // far beyond FD_SETSIZE (1024)
  ASSERT_EQ(dup2(static_cast<int>(listener->SysSocket), high), high);
  TIdSocketList idle{static_cast<TIdStackSocketHandle>(high)};
  EXPECT_EQ(GlobalStack->SockSelect(&idle, nullptr, nullptr, 0), 0);

  auto client = ConnectTransport(listener->Port);
  TIdSocketList ready{static_cast<TIdStackSocketHandle>(high)};
  EXPECT_EQ(GlobalStack->SockSelect(&ready, nullptr, nullptr, 2000), 1);
  EXPECT_EQ(ready, TIdSocketList{static_cast<TIdStackSocketHandle>(high)});
  close(high);
  setrlimit(RLIMIT_NOFILE, &limit);
}

TEST_F(PosixStackTest, WaitOnNoSocketIsRefusedAsOnWindows) {
  TIdSocketList none;
  EXPECT_EQ(GlobalStack->SockSelect(&none, nullptr, nullptr, 0), -1);
  EXPECT_EQ(GlobalStack->SockLastError(), 10022);
}

}  // namespace
}  // namespace pravik
