// Runs every registered benchmark once and prints one table: throughput of
// the input bytes, and ratios to memcpy of the same bytes and to lcms2's null
// transform over the same pixels.
#include <spdlog/spdlog.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "pipeline/nch16to8.h"

namespace tavik::bench {
namespace {

std::vector<BenchRow>& Rows() {
  static std::vector<BenchRow> rows;
  return rows;
}

// Collects seconds per iteration by benchmark name and prints nothing.
class CollectingReporter : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) {
        continue;
      }
      // Processor time of the benchmark thread: on a shared machine it does
      // not count the time other processes hold the core.
      seconds_[run.run_name.function_name] =
          run.cpu_accumulated_time / static_cast<double>(run.iterations);
    }
  }
  const std::map<std::string, double>& seconds() const { return seconds_; }

 private:
  std::map<std::string, double> seconds_;
};

std::vector<std::uint16_t> MakeSamples(std::size_t n) {
  std::vector<std::uint16_t> out(n);
  std::uint32_t x = 0x12345678u;
  for (auto& s : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s = static_cast<std::uint16_t>(x >> 8);
  }
  return out;
}

void PrintTable(const std::map<std::string, double>& seconds) {
  auto find = [&](const std::string& name) -> const double* {
    auto it = seconds.find(name);
    return it == seconds.end() ? nullptr : &it->second;
  };
  std::printf("\nconversion level: %s (best offered: %s); band %d pixels x %d rows\n",
              SimdLevelName(ActiveSimdLevel()), SimdLevelName(DetectSimdLevel()), kPagePixels,
              kBandRows);
  std::printf("%-40s %12s %10s %10s %10s\n", "benchmark", "time/iter", "GB/s in", "x memcpy",
              "x lcms2");
  for (const BenchRow& row : Rows()) {
    const double* t = find(row.name);
    if (t == nullptr) continue;  // filtered out or not offered here
    char time_text[32];
    if (*t >= 1e-5) {
      std::snprintf(time_text, sizeof time_text, "%.3f ms", *t * 1e3);
    } else {
      std::snprintf(time_text, sizeof time_text, "%.1f ns", *t * 1e9);
    }
    if (row.per_band_overhead) {
      std::printf("%-40s %12s %10s %10s %10s   (per-band overhead)\n", row.name.c_str(), time_text,
                  "-", "-", "-");
      continue;
    }
    char rate[32] = "-", vs_memcpy[32] = "-", vs_lcms2[32] = "-";
    if (row.input_bytes > 0) {
      std::snprintf(rate, sizeof rate, "%.2f", static_cast<double>(row.input_bytes) / *t / 1e9);
    }
    if (const double* m = row.memcpy_peer.empty() ? nullptr : find(row.memcpy_peer)) {
      std::snprintf(vs_memcpy, sizeof vs_memcpy, "%.2f", *m / *t);
    }
    if (const double* l = row.lcms2_peer.empty() ? nullptr : find(row.lcms2_peer)) {
      std::snprintf(vs_lcms2, sizeof vs_lcms2, "%.2f", *l / *t);
    }
    std::printf("%-40s %12s %10s %10s %10s\n", row.name.c_str(), time_text, rate, vs_memcpy,
                vs_lcms2);
  }
}

}  // namespace

const std::vector<std::uint16_t>& BandSamples(std::int32_t channels) {
  static std::map<std::int32_t, std::vector<std::uint16_t>> cache;
  auto it = cache.find(channels);
  if (it == cache.end()) {
    it = cache.emplace(channels, MakeSamples(static_cast<std::size_t>(Input16Bytes(channels) / 2)))
             .first;
  }
  return it->second;
}

const std::vector<unsigned char>& BandBytes(std::int32_t channels) {
  static std::map<std::int32_t, std::vector<unsigned char>> cache;
  auto it = cache.find(channels);
  if (it == cache.end()) {
    const auto& samples = BandSamples(channels);
    std::vector<unsigned char> bytes(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
      bytes[i] = static_cast<unsigned char>(samples[i] >> 8);
    }
    it = cache.emplace(channels, std::move(bytes)).first;
  }
  return it->second;
}

void AddBench(const BenchRow& row, std::function<void(benchmark::State&)> body) {
  Rows().push_back(row);
  benchmark::RegisterBenchmark(row.name.c_str(), std::move(body));
}

}  // namespace tavik::bench

int main(int argc, char** argv) {
  using namespace tavik::bench;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // The library's own log lines would break up the table.
  spdlog::set_level(spdlog::level::err);
  RegisterConversionBenches();
  RegisterBandPathBenches();
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintTable(reporter.seconds());
  benchmark::Shutdown();
  return 0;
}
