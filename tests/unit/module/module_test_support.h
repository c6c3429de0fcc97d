// Helpers for the reference module tests: records of a job, a page image in
// memory, feeding it in pieces, and decoding what the module sent.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dorva.h"
#include "halftone.h"
#include "job.h"
#include "stream_format.h"

namespace dorva_ref::testing {

// Collects what the module hands to its output function; can refuse the
// n-th block to stand for a host whose spool failed.
struct Sink {
  std::vector<std::uint8_t> bytes;
  int calls = 0;
  int refuse_from_call = -1;  // 0-based call index from which blocks are refused

  static std::int32_t QXOL_CALL Output(void* context, signed char* data, std::int32_t size) {
    auto* sink = static_cast<Sink*>(context);
    const int call = sink->calls++;
    if (sink->refuse_from_call >= 0 && call >= sink->refuse_from_call) return 0;
    const auto* p = reinterpret_cast<const std::uint8_t*>(data);
    sink->bytes.insert(sink->bytes.end(), p, p + size);
    return 1;
  }
};

struct JobRecords {
  tagPRTSTRUCT3_12 prt{};
  tagOPTION option{};
  tagHTSTRUCT3_5 ht{};
  tagMEDIAOPT_8 media{};

  JobRecords(std::int32_t input_format, std::int32_t width, std::int32_t height, Sink& sink,
             std::int32_t halftone_type = kHalftoneOrdered) {
    prt.Version = 12;
    prt.InputFormat = input_format;
    prt.ImageResX = 360;
    prt.ImageResY = 360;
    prt.ImageWidth = width;
    prt.ImageHeight = height;
    prt.PrintWidth = width;
    prt.PrintHeight = height;
    option.OutputCallback = &Sink::Output;
    option.CallbackContext = &sink;
    ht.Version = 5;
    ht.Intent = 4;
    ht.HalftoneType = halftone_type;
  }
};

// A page image: `channels` planes of width x height 8-bit samples.
struct Image {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<std::vector<std::uint8_t>> planes;

  Image(int w, int h, int c)
      : width(w),
        height(h),
        channels(c),
        planes(static_cast<std::size_t>(c),
               std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h)) {}
  std::uint8_t& at(int c, int x, int y) {
    return planes[static_cast<std::size_t>(c)][static_cast<std::size_t>(y) * width + x];
  }
  void Fill(const std::function<std::uint8_t(int c, int x, int y)>& f) {
    for (int c = 0; c < channels; ++c)
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) at(c, x, y) = f(c, x, y);
  }
  std::vector<std::uint8_t> Interleaved() const {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height * channels);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < channels; ++c)
          out[(static_cast<std::size_t>(y) * width + x) * channels + c] =
              planes[static_cast<std::size_t>(c)][static_cast<std::size_t>(y) * width + x];
    return out;
  }
};

enum class Layout { kPlanar, kInterleaved };

// Sends rows [0, height) of `image` in pieces of `piece_rows`; returns the
// first non-zero status.
inline std::int32_t Feed(Job& job, const Image& image, Layout layout, int piece_rows,
                         const DORVA_AREA* area = nullptr) {
  const std::vector<std::uint8_t> inter = image.Interleaved();
  for (int top = 0; top < image.height; top += piece_rows) {
    const int bottom = std::min(image.height, top + piece_rows);
    DORVA_RECT rect{0, top, image.width, bottom};
    DORVA_BAND_DATA band{};
    std::vector<unsigned char*> planes;
    if (layout == Layout::kPlanar) {
      for (int c = 0; c < image.channels; ++c) {
        planes.push_back(
            const_cast<unsigned char*>(image.planes[static_cast<std::size_t>(c)].data()) +
            static_cast<std::size_t>(top) * image.width);
      }
      band.stride = image.width;
      band.planes = planes.data();
    } else {
      band.stride = image.width * image.channels;
      band.data = const_cast<unsigned char*>(inter.data()) +
                  static_cast<std::size_t>(top) * image.width * image.channels;
    }
    const std::int32_t st = job.BandOut(area, &band, &rect);
    if (st != kOk) return st;
  }
  return kOk;
}

struct DecodedPage {
  PageHeader header;
  PageTrailer trailer;
  // Per ink, height rows of PackedRowBytes(width) bytes; rows not sent are blank.
  std::vector<std::vector<std::uint8_t>> bits;

  bool Dot(int ink, int x, int y) const {
    const std::size_t row = PackedRowBytes(header.width);
    return (bits[static_cast<std::size_t>(ink)][static_cast<std::size_t>(y) * row + x / 8] &
            (0x80 >> (x % 8))) != 0;
  }
  // Fraction of dots of `ink` in the rectangle [x0, x1) x [y0, y1).
  double Coverage(int ink, int x0, int y0, int x1, int y1) const {
    std::int64_t dots = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) dots += Dot(ink, x, y) ? 1 : 0;
    return static_cast<double>(dots) / (static_cast<double>(x1 - x0) * (y1 - y0));
  }
};

struct DecodedStream {
  bool ok = false;
  std::string error;
  std::vector<JobHeader> jobs;
  std::vector<DecodedPage> pages;
  std::vector<JobTrailer> job_ends;
};

inline DecodedStream Decode(const std::vector<std::uint8_t>& bytes) {
  DecodedStream out;
  StreamDecoder::Handlers h;
  h.job = [&](const JobHeader& j) { out.jobs.push_back(j); };
  h.page = [&](const PageHeader& p) {
    DecodedPage page;
    page.header = p;
    page.bits.assign(p.inks.size(), std::vector<std::uint8_t>(PackedRowBytes(p.width) *
                                                              static_cast<std::size_t>(p.height)));
    out.pages.push_back(std::move(page));
  };
  h.row = [&](std::uint32_t y, const std::vector<std::vector<std::uint8_t>>& inks) {
    DecodedPage& page = out.pages.back();
    const std::size_t row = PackedRowBytes(page.header.width);
    for (std::size_t i = 0; i < inks.size(); ++i) {
      std::memcpy(page.bits[i].data() + y * row, inks[i].data(), row);
    }
  };
  h.page_end = [&](const PageTrailer& t) { out.pages.back().trailer = t; };
  h.job_end = [&](const JobTrailer& t) { out.job_ends.push_back(t); };
  StreamDecoder decoder(h);
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  out.ok = decoder.Decode(in);
  out.error = decoder.error();
  return out;
}

// Runs one job of one page over `image` and returns what was sent.
inline std::vector<std::uint8_t> PrintPage(const Image& image, std::int32_t input_format,
                                           Layout layout, int piece_rows,
                                           std::int32_t halftone_type = kHalftoneOrdered) {
  Sink sink;
  JobRecords rec(input_format, image.width, image.height, sink, halftone_type);
  std::unique_ptr<Job> job;
  EXPECT_EQ(Job::Create(&rec.prt, &rec.option, job), kOk);
  if (!job) return {};
  EXPECT_EQ(job->InitPage(&rec.ht), kOk);
  EXPECT_EQ(Feed(*job, image, layout, piece_rows), kOk);
  EXPECT_EQ(job->EndPage(true), kOk);
  EXPECT_EQ(job->Finish(), kOk);
  return sink.bytes;
}

}  // namespace dorva_ref::testing
