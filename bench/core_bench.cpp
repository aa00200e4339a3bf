// Reading and decoding speed of the core: a 5000-frame log, a 256 MB log whose frames beyond
// those stored come from another station (loaded, and through the de-framer alone), a 256 MB
// log of noise and half a million spacecraft frames, the demo log, one frame's decoding and
// the missing-frames check of a worst-case log.
//
// Besides the benchmarks, two modes for measuring peak memory with /usr/bin/time -v:
//   core_bench --write-logs=DIR   writes small.kss (5000 frames), large.kss and noisy.kss
//                                 (256 MB each)
//   core_bench --read-log=PATH    reads one log and prints its summary
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string_view>
#include <vector>

#include "core/kiss_deframer.h"
#include "core/kiss_reader.h"
#include "core/section_decoders.h"

namespace quilmar {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kLargeLogBytes = 256u << 20;

void AppendWrapped(Bytes& log, const Bytes& frame) {
  log.push_back(0xC0);
  for (std::uint8_t b : frame) {
    if (b == 0xC0 || b == 0xDB) {
      log.push_back(0xDB);
      log.push_back(b == 0xC0 ? 0xDC : 0xDD);
    } else {
      log.push_back(b);
    }
  }
  log.push_back(0xC0);
}

void AppendAddress(Bytes& frame, std::string_view call, bool last) {
  for (char c : call) {
    frame.push_back(static_cast<std::uint8_t>(c << 1));
  }
  frame.push_back(last ? 0x61 : 0x60);
}

// A housekeeping frame; even numbers carry EPS/TCS and COM, odd ones CDHS and ADCS. The
// information bytes run through all values, so escapes occur in every frame.
Bytes HousekeepingFrame(int number, std::string_view source) {
  Bytes frame{0x00};
  AppendAddress(frame, "XQ0GND", false);
  AppendAddress(frame, source, true);
  frame.insert(frame.end(), {0x03, 0xF0});
  for (int k = 0; k < 134; ++k) {
    frame.push_back(static_cast<std::uint8_t>(k * 7 + number));
  }
  frame[17] = static_cast<std::uint8_t>(number >> 8);
  frame[18] = static_cast<std::uint8_t>(number);
  frame[19] = 'S';
  frame[23] = number % 2 == 0 ? 41 : 23;
  frame[87] = number % 2 == 0 ? 20 : 64;
  return frame;
}

Bytes SmallLog() {
  Bytes log;
  for (int i = 0; i < kFrameTableCapacity; ++i) {
    AppendWrapped(log, HousekeepingFrame(i, "XQ0SAT"));
  }
  return log;
}

// 5000 spacecraft frames spread evenly among frames another station sent to the ground
// station, up to 256 MB.
Bytes LargeLog() {
  const Bytes ours = [] {
    Bytes log;
    AppendWrapped(log, HousekeepingFrame(0, "XQ0SAT"));
    return log;
  }();
  Bytes theirs;
  AppendWrapped(theirs, HousekeepingFrame(1, "XQ0ABC"));
  const std::size_t frames = kLargeLogBytes / theirs.size();
  const std::size_t every = frames / kFrameTableCapacity;
  Bytes log;
  log.reserve(kLargeLogBytes + ours.size() * kFrameTableCapacity);
  for (std::size_t i = 0; i < frames; ++i) {
    const Bytes& frame = i % every == 0 ? ours : theirs;
    log.insert(log.end(), frame.begin(), frame.end());
  }
  return log;
}

// Half a million spacecraft frames, numbered on, with random noise between them (FENDs and
// escapes among it) up to 256 MB: a long unattended reception of a busy, noisy channel. The
// table keeps the first 5000; the rest are only counted.
Bytes NoisyLog() {
  constexpr int kFrames = 500000;
  std::mt19937_64 random(2026);
  Bytes log;
  log.reserve(kLargeLogBytes + 4096);
  Bytes frame;
  for (int i = 0; i < kFrames; ++i) {
    frame.clear();
    AppendWrapped(frame, HousekeepingFrame(i % 65536, "XQ0SAT"));
    const std::size_t room = kLargeLogBytes - log.size() - frame.size() * (kFrames - i);
    const std::size_t noise = room / static_cast<std::size_t>(kFrames - i) / 8;
    for (std::size_t n = 0; n < noise; ++n) {
      const std::uint64_t word = random();
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(&word);
      log.insert(log.end(), bytes, bytes + sizeof word);
    }
    log.insert(log.end(), frame.begin(), frame.end());
  }
  return log;
}

FrameTable& Table() {
  static FrameTable table;
  return table;
}

void ReadLog(benchmark::State& state, const Bytes& log) {
  LoadSummary summary;
  for (auto _ : state) {
    const auto source = MemorySource(log);
    summary = ReadKissLog(*source, Table());
    benchmark::DoNotOptimize(summary.framesStored);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * log.size()));
  state.counters["stored"] = summary.framesStored;
  state.counters["rejected"] = static_cast<double>(summary.framesRejected);
}

void BM_Read5000FrameLog(benchmark::State& state) {
  static const Bytes log = SmallLog();
  ReadLog(state, log);
}
BENCHMARK(BM_Read5000FrameLog)->Unit(benchmark::kMillisecond);

void BM_Read256MbLog(benchmark::State& state) {
  static const Bytes log = LargeLog();
  ReadLog(state, log);
}
BENCHMARK(BM_Read256MbLog)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Read256MbNoisyLog(benchmark::State& state) {
  static const Bytes log = NoisyLog();
  ReadLog(state, log);
}
BENCHMARK(BM_Read256MbNoisyLog)->Unit(benchmark::kMillisecond)->Iterations(3);

// The de-framer alone, as a live exporter runs it: the 256 MB log in 64 KiB chunks, each
// accepted frame only counted.
void BM_Deframe256MbLog(benchmark::State& state) {
  static const Bytes log = LargeLog();
  std::int64_t accepted = 0;
  for (auto _ : state) {
    KissDeframer deframer([&](const FrameBuffer&) { return ++accepted > 0; });
    for (std::size_t at = 0; at < log.size(); at += 64 * 1024) {
      deframer.Feed({log.data() + at, std::min<std::size_t>(64 * 1024, log.size() - at)});
    }
    benchmark::DoNotOptimize(deframer.FramesRejected());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * log.size()));
  state.counters["accepted"] =
      static_cast<double>(accepted) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Deframe256MbLog)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReadDemoLog(benchmark::State& state) {
  // From the build's own record of the source folder: __FILE__ may be relative when the
  // compiler runs through ccache.
  const auto path = std::filesystem::path(QUILMAR_SOURCE_DIR) / "samples" / "demo.kss";
  if (!std::filesystem::exists(path)) {
    state.SkipWithError("samples/demo.kss not there");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReadKissLog(path.string(), Table()).framesStored);
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(path)));
}
BENCHMARK(BM_ReadDemoLog)->Unit(benchmark::kMillisecond);

void BM_FillFrameRecord(benchmark::State& state) {
  FrameBuffer frame{};
  const Bytes bytes = HousekeepingFrame(state.range(0), "XQ0SAT");
  std::memcpy(frame.data(), bytes.data(), bytes.size());
  FrameRecord record;
  for (auto _ : state) {
    record.Clear();
    FillFrameRecord(frame, record);
    benchmark::DoNotOptimize(record.values.data());
  }
}
BENCHMARK(BM_FillFrameRecord)->Arg(0)->Arg(1);

void BM_MissingFramesAlternating(benchmark::State& state) {
  FrameTable& table = Table();
  table.frameCount = kFrameTableCapacity;
  for (int i = 1; i <= kFrameTableCapacity; ++i) {
    table.Record(i).frameNumber = i % 2 == 1 ? 0 : 65535;
  }
  for (auto _ : state) {
    const MissingFrames missing = FindMissingFrames(table);
    benchmark::DoNotOptimize(missing.At(missing.Count() / 2));
  }
}
BENCHMARK(BM_MissingFramesAlternating)->Unit(benchmark::kMicrosecond);

int WriteLogs(const std::filesystem::path& directory) {
  const struct {
    const char* name;
    Bytes (*make)();
  } kLogs[] = {{"small.kss", SmallLog}, {"large.kss", LargeLog}, {"noisy.kss", NoisyLog}};
  for (const auto& [name, make] : kLogs) {
    const Bytes log = make();
    std::ofstream out(directory / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(log.data()), static_cast<std::streamsize>(log.size()));
    if (!out) {
      return 1;
    }
  }
  return 0;
}

int ReadOneLog(const std::string& path) {
  const LoadSummary summary = ReadKissLog(path, Table());
  std::printf("stored %d skipped %lld rejected %lld bytes %lld %s\n", summary.framesStored,
              static_cast<long long>(summary.framesSkipped),
              static_cast<long long>(summary.framesRejected),
              static_cast<long long>(summary.bytesRead), summary.error.c_str());
  return summary.error.empty() ? 0 : 1;
}

}  // namespace
}  // namespace quilmar

int main(int argc, char** argv) {
  constexpr std::string_view kWrite = "--write-logs=";
  constexpr std::string_view kRead = "--read-log=";
  if (argc == 2 && std::string_view(argv[1]).starts_with(kWrite)) {
    return quilmar::WriteLogs(argv[1] + kWrite.size());
  }
  if (argc == 2 && std::string_view(argv[1]).starts_with(kRead)) {
    return quilmar::ReadOneLog(argv[1] + kRead.size());
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
