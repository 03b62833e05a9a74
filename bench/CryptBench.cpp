#include <benchmark/benchmark.h>

#include <string>

#include "support/ZvWCrypt.h"

using namespace zvword;

namespace {

std::string Data(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = char(i * 131 + 7);
  return s;
}

void BM_MD5(benchmark::State& state) {
  std::string data = Data(size_t(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(MD5Of(data));
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_MD5)->Arg(64)->Arg(1 << 20);

void BM_SHA256(benchmark::State& state) {
  std::string data = Data(size_t(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(SHA256Of(data));
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SHA256)->Arg(1 << 20);

void BM_RC4(benchmark::State& state) {
  std::string data = Data(size_t(state.range(0)));
  std::string out(data.size(), '\0');
  const uint8_t key[16] = {1, 2, 3};
  for (auto _ : state) {
    TRC4Context ctx;
    RC4Init(ctx, key, 16);
    RC4Crypt(ctx, reinterpret_cast<const uint8_t*>(data.data()), reinterpret_cast<uint8_t*>(out.data()),
             int(data.size()));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_RC4)->Arg(1 << 20);

void BM_AESCBCDecrypt(benchmark::State& state) {
  std::string data = Data(1 << 20);
  std::string out(data.size(), '\0');
  uint8_t key[32] = {9, 8, 7};
  AESContext ctx;
  AES_SetKey_Dec(ctx, key, int(state.range(0)));
  for (auto _ : state) {
    uint8_t iv[16] = {0};
    AES_CBC_Decrypt(ctx, iv, reinterpret_cast<const uint8_t*>(data.data()), reinterpret_cast<uint8_t*>(out.data()),
                    data.size() / 16);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_AESCBCDecrypt)->Arg(128)->Arg(256);

}  // namespace
