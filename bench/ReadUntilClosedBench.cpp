// Copying a transfer from a loopback socket into a stream: the connection's
// ReadUntilClosed against a plain receive loop with the same chunk size. Both read from
// the same kind of peer and write into the same stream, so the difference is what the
// connection adds. Run: build/native/bench/ReadUntilClosedBench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "ftp/IdTCPClient.h"
#include "ftp/IdStream.h"
#include "net/IdIOHandlerSocket.h"
#include "net/IdSocketHandle.h"
#include "net/IdStack.h"
#include "tests/support/NetTestSupport.h"

namespace pravik {
namespace {

constexpr long long kTransferBytes = 256LL << 20;
constexpr int kChunk = 32768;

// Keeps the last chunk written, as a sink that touches every byte once.
class SinkStream : public TIdStream {
 public:
  std::int64_t Size() override { return FSize; }
  std::int64_t Position() override { return FSize; }
  void Seek(std::int64_t) override {}
  void Write(const void* bytes, std::int32_t count) override {
    std::memcpy(Last, bytes, static_cast<std::size_t>(count));
    FSize += count;
  }
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  void Truncate() override {}

 private:
  char Last[1 << 20];
  std::int64_t FSize = 0;
};

// Accepts one connection on `listener` and sends `total` bytes, then closes.
std::thread StartSender(TIdSocketHandle& listener) {
  return std::thread([&listener] {
    TIdSocketHandle connection;
    connection.AcceptFrom(listener.SysSocket);
    const std::string block(65536, 'b');
    for (long long left = kTransferBytes; left > 0;) {
      const int n = connection.SendBuf(block.data(), static_cast<int>(std::min<long long>(left, 65536)), 0);
      if (n <= 0) break;
      left -= n;
    }
    connection.ReleaseSocket();
  });
}

void BM_RawReceiveLoop(benchmark::State& state) {
  TIdComponent stackUser;
  auto sink = std::make_unique<SinkStream>();
  std::unique_ptr<char[]> chunk(new char[kChunk]);
  for (auto _ : state) {
    auto listener = test::OpenListener();
    std::thread sender = StartSender(*listener);
    auto transport = test::ConnectTransport(listener->Port);
    for (;;) {
      if (state.range(0)) transport->WaitReadable(-2);
      const int n = transport->ReceiveBuf(chunk.get(), kChunk);
      if (n <= 0) break;
      sink->Write(chunk.get(), n);
    }
    sender.join();
  }
  state.SetBytesProcessed(state.iterations() * kTransferBytes);
}

void BM_ReadUntilClosed(benchmark::State& state) {
  TIdComponent stackUser;
  auto sink = std::make_unique<SinkStream>();
  for (auto _ : state) {
    auto listener = test::OpenListener();
    std::thread sender = StartSender(*listener);
    TIdTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = listener->Port;
    client.ConnectToHost();
    client.ReadUntilClosed(*sink);
    sender.join();
  }
  state.SetBytesProcessed(state.iterations() * kTransferBytes);
}

BENCHMARK(BM_RawReceiveLoop)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_ReadUntilClosed)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

}  // namespace
}  // namespace pravik

BENCHMARK_MAIN();
