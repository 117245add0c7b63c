// The download's SHA-256 alone: pieces of 32 KiB, as the data connection delivers them,
// through the platform's implementation. Reports bytes per second.
#include <benchmark/benchmark.h>

#include <string>

#include "app/Sha256.h"

namespace {

void BM_Sha256InReceivePieces(benchmark::State& state) {
  const std::string piece(32768, '\x5A');
  const auto pieces = static_cast<int>(state.range(0) / static_cast<long>(piece.size()));
  for (auto _ : state) {
    pravik::app::TSha256 hash;
    for (int i = 0; i < pieces; ++i) hash.Update(piece.data(), piece.size());
    benchmark::DoNotOptimize(hash.HexDigest());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long>(pieces) * static_cast<long>(piece.size()));
}
BENCHMARK(BM_Sha256InReceivePieces)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
