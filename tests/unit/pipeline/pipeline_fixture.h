// An instance on the recording double, with helpers to describe pages and
// send bands through the exported functions.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "qxol.h"
#include "support/end_to_end.h"

namespace tavik::test {

struct PageFormat {
  std::int32_t data_type = 2;  // CMYK 8-bit
  std::int32_t bpp = 1;        // planar
  std::int32_t width = 16;
  std::int32_t height = 256;
  std::vector<std::int32_t> channels;  // for data_type +-3
};

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    instance_ = std::make_unique<Instance>(WriteIni(dir_), &SpoolSink::Func, &sink_);
    ASSERT_TRUE(instance_->ok());
  }
  void TearDown() override { instance_.reset(); }

  QXOL_HANDLE h() const { return instance_->handle(); }
  tavik_double::Control& control() { return double_.control(); }

  std::int32_t StartPage(const PageFormat& format) {
    format_ = format;
    QXOL_BASE_INFO base{0, format.width, format.height, 0, nullptr, 0, nullptr};
    QXOL_IMAGE_INFO image{360,
                          360,
                          format.width,
                          format.height,
                          format.data_type,
                          static_cast<std::int32_t>(format.channels.size()),
                          format_.channels.empty() ? nullptr : format_.channels.data(),
                          format.bpp};
    QXOL_CONVERT_INFO convert{};
    return QXOL_StartPage(h(), &base, 1, &image, 1, &convert);
  }

  // Sends a band whose planes (or single interleaved buffer) are given.
  std::int32_t SendBand(std::int32_t top, std::int32_t bottom, std::int32_t stride,
                        std::vector<std::vector<unsigned char>>& planes,
                        QXOL_BAND_INFO area = {0, 0, 0, 0, -1, -1, -1, -1}) {
    std::vector<unsigned char*> table;
    for (auto& p : planes) table.push_back(p.data());
    QXOL_BAND_INFO band = area;
    band.left = 0;
    band.top = top;
    band.right = format_.width;
    band.bottom = bottom;
    QXOL_BAND_DATA data{table.data(), stride, 0};
    return QXOL_BandOut2(h(), 1, &band, 1, &data, 0);
  }

  TempDir dir_;
  DoubleModule double_;
  SpoolSink sink_;
  std::unique_ptr<Instance> instance_;
  PageFormat format_;
};

// Bytes 0, 1, 2, ... offset by `seed`, so every plane and row differs.
inline std::vector<unsigned char> Pattern(std::size_t size, unsigned seed) {
  std::vector<unsigned char> out(size);
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<unsigned char>(i * 7 + seed);
  return out;
}

}  // namespace tavik::test
