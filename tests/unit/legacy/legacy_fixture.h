// Shared helpers of the legacy record tests: an instance whose parameter
// store, page and configuration a test fills directly, and the expected
// bytes of a record at the offsets of the build that runs.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "api/tavik_api.h"
#include "config/log.h"
#include "support/end_to_end.h"
#include "support/log_capture.h"

namespace tavik::test {

constexpr bool k64 = sizeof(void*) == 8;

// Picks the 64-bit or the 32-bit figure of a layout table.
constexpr std::size_t By(std::size_t off64, std::size_t off32) {
  return k64 ? off64 : off32;
}

// A record's expected content: zeros except for the fields a test writes,
// each at its offset and width, little-endian.
class Bytes {
 public:
  Bytes(std::size_t size64, std::size_t size32) : data_(By(size64, size32), 0) {}

  Bytes& U16(std::size_t off64, std::size_t off32, std::uint16_t value) {
    return Put(By(off64, off32), value, 2);
  }
  Bytes& I16(std::size_t offset, std::int16_t value) {
    return Put(offset, static_cast<std::uint16_t>(value), 2);
  }
  Bytes& I32(std::size_t off64, std::size_t off32, std::int32_t value) {
    return Put(By(off64, off32), static_cast<std::uint32_t>(value), 4);
  }
  Bytes& U32(std::size_t off64, std::size_t off32, std::uint32_t value) {
    return Put(By(off64, off32), value, 4);
  }
  Bytes& Ptr(std::size_t off64, std::size_t off32, const void* value) {
    return Put(By(off64, off32), reinterpret_cast<std::uintptr_t>(value), sizeof(void*));
  }

  const std::vector<unsigned char>& data() const { return data_; }

 private:
  Bytes& Put(std::size_t offset, std::uint64_t value, std::size_t width) {
    EXPECT_LE(offset + width, data_.size()) << "field outside the record";
    for (std::size_t i = 0; i < width && offset + i < data_.size(); ++i) {
      data_[offset + i] = static_cast<unsigned char>(value >> (8 * i));
    }
    return *this;
  }
  std::vector<unsigned char> data_;
};

template <typename TRecord>
std::vector<unsigned char> BytesOf(const TRecord& record) {
  static_assert(std::is_trivially_copyable_v<TRecord>);
  std::vector<unsigned char> bytes(sizeof(TRecord));
  std::memcpy(bytes.data(), &record, sizeof(TRecord));
  return bytes;
}

// An instance with no module: the builders only read the parameter store, the
// page description, the configuration and the calibration buffer.
class LegacyTest : public ::testing::Test {
 protected:
  void Set(QXOL_PARAM_ID id, std::int32_t value) {
    api_.options_.SetParams<std::int32_t>(id, &value, 1);
  }
  void SetList(QXOL_PARAM_ID id, std::initializer_list<std::int32_t> values) {
    api_.options_.SetParams<std::int32_t>(id, values.begin(), values.size());
  }
  void SetText(QXOL_PARAM_ID id, std::string_view text) {
    api_.options_.SetParams<char>(id, text.data(), text.size());
  }
  void SetBytes(QXOL_PARAM_ID id, const std::vector<unsigned char>& bytes) {
    api_.options_.SetParams<unsigned char>(id, bytes.data(), bytes.size());
  }

  // Describes a page through StartPage; the host records go out of scope
  // right after, as a host's may.
  void StartPage(std::int32_t data_type, std::vector<std::int32_t> channels = {},
                 std::int32_t intent = 4) {
    QXOL_BASE_INFO base{};
    base.paper_width = paper_width_;
    base.paper_height = paper_height_;
    QXOL_IMAGE_INFO image{};
    image.res_x = res_x_;
    image.res_y = res_y_;
    image.width = 640;
    image.height = 480;
    image.data_type = data_type;
    image.channel_num = static_cast<std::int32_t>(channels.size());
    image.channels = channels.empty() ? nullptr : channels.data();
    image.bpp = 1;
    QXOL_CONVERT_INFO convert{};
    convert.intent = intent;
    ASSERT_EQ(api_.StartPage(&base, 1, &image, 1, &convert), QXOL_OK);
  }

  // Loads a configuration made of these "key=value" lines.
  void Configure(const std::vector<std::pair<std::string, std::string>>& lines) {
    std::string text;
    for (const auto& [key, value] : lines) text += key + "=" + value + "\n";
    api_.configuration_.Load(dir_.Write("tavik.ini", text));
    ASSERT_TRUE(api_.configuration_.loaded());
  }

  std::string Abs(const std::string& name) const { return (dir_.path() / name).string(); }

  std::int32_t paper_width_ = 1000;
  std::int32_t paper_height_ = 2000;
  std::int32_t res_x_ = 720;
  std::int32_t res_y_ = 720;
  TempDir dir_;
  TavikApi api_;
};

}  // namespace tavik::test
