// Halftoning throughput of the reference module: pixels per second through a
// whole job (curves, halftoning, PackBits, checksum), the output discarded.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "job.h"

namespace {

std::int32_t QXOL_CALL Discard(void*, signed char*, std::int32_t) {
  return 1;
}

void BandThroughput(benchmark::State& state) {
  const std::int32_t type = static_cast<std::int32_t>(state.range(0));
  const bool planar = state.range(1) != 0;
  const int width = 4096, rows = 64, inks = 4;
  tagPRTSTRUCT3_12 prt{};
  prt.Version = 12;
  prt.InputFormat = planar ? 1004 : 4;
  prt.ImageWidth = width;
  prt.ImageHeight = 1 << 30;
  tagOPTION option{};
  option.OutputCallback = &Discard;
  tagHTSTRUCT3_5 ht{};
  ht.Version = 5;
  ht.HalftoneType = type;
  std::unique_ptr<dorva_ref::Job> job;
  if (dorva_ref::Job::Create(&prt, &option, job) != 0 || job->InitPage(&ht) != 0) {
    state.SkipWithError("job not opened");
    return;
  }
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * rows * inks);
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<std::uint8_t>(i * 31 + i / 4096);
  std::vector<unsigned char*> planes;
  for (int c = 0; c < inks; ++c)
    planes.push_back(pixels.data() + static_cast<std::size_t>(c) * width * rows);
  DORVA_BAND_DATA band{};
  if (planar) {
    band.stride = width;
    band.planes = planes.data();
  } else {
    band.stride = width * inks;
    band.data = pixels.data();
  }
  std::int32_t top = 0;
  for (auto _ : state) {
    DORVA_RECT rect{0, top, width, top + rows};
    if (job->BandOut(nullptr, &band, &rect) != 0) {
      state.SkipWithError("band refused");
      return;
    }
    top += rows;
  }
  state.SetItemsProcessed(state.iterations() * width * rows);
  state.SetLabel("pixels of 4 inks");
}

BENCHMARK(BandThroughput)
    ->ArgNames({"type", "planar"})
    ->Args({dorva_ref::kHalftoneOrdered, 0})
    ->Args({dorva_ref::kHalftoneOrdered, 1})
    ->Args({dorva_ref::kHalftoneDiffusion, 1});

}  // namespace

BENCHMARK_MAIN();
