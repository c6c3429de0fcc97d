#include "stream_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "module_test_support.h"

namespace dorva_ref {
namespace {

using testing::Decode;
using testing::Image;
using testing::Layout;
using testing::PrintPage;

TEST(Crc32, StandardCheckValue) {
  const std::string text = "123456789";
  EXPECT_EQ(Crc32(0, reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), 0xCBF43926u);
  // Fed in pieces, the same value.
  std::uint32_t crc = Crc32(0, reinterpret_cast<const std::uint8_t*>(text.data()), 4);
  crc = Crc32(crc, reinterpret_cast<const std::uint8_t*>(text.data()) + 4, 5);
  EXPECT_EQ(crc, 0xCBF43926u);
}

struct PackBitsCase {
  const char* name;
  std::vector<std::uint8_t> data;
};

std::vector<std::uint8_t> Repeat(std::uint8_t v, std::size_t n) {
  return std::vector<std::uint8_t>(n, v);
}
std::vector<std::uint8_t> Concat(std::vector<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
std::vector<std::uint8_t> Counting(std::size_t n) {
  std::vector<std::uint8_t> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(i * 7);
  return out;
}

class PackBitsRoundTrip : public ::testing::TestWithParam<PackBitsCase> {};

TEST_P(PackBitsRoundTrip, DecodesToTheOriginal) {
  const auto& data = GetParam().data;
  std::vector<std::uint8_t> code;
  PackBitsEncode(data.data(), data.size(), code);
  std::vector<std::uint8_t> back(data.size());
  ASSERT_TRUE(PackBitsDecode(code.data(), code.size(), back.data(), back.size()));
  EXPECT_EQ(back, data);
  // Worst case: one header byte per 128 literal bytes.
  EXPECT_LE(code.size(), data.size() + (data.size() + 127) / 128);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, PackBitsRoundTrip,
    ::testing::Values(
        PackBitsCase{"empty", {}}, PackBitsCase{"one_byte", {9}}, PackBitsCase{"pair", {5, 5}},
        PackBitsCase{"run_128", Repeat(0, 128)}, PackBitsCase{"run_129", Repeat(0xFF, 129)},
        PackBitsCase{"run_1000", Repeat(0x80, 1000)}, PackBitsCase{"literal_128", Counting(128)},
        PackBitsCase{"literal_300", Counting(300)},
        PackBitsCase{
            "mixed",
            Concat({Counting(5), Repeat(1, 3), {2, 2}, Counting(130), Repeat(0, 200), {7}})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PackBitsEncode, RunsCompress) {
  std::vector<std::uint8_t> code;
  const auto data = Repeat(0, 1024);
  PackBitsEncode(data.data(), data.size(), code);
  EXPECT_EQ(code.size(), 16u);  // eight runs of 128, two bytes each
}

struct BadCode {
  const char* name;
  std::vector<std::uint8_t> code;
  std::size_t out_size;
};

class PackBitsMalformed : public ::testing::TestWithParam<BadCode> {};

TEST_P(PackBitsMalformed, IsRefused) {
  const auto& c = GetParam();
  std::vector<std::uint8_t> out(c.out_size + 1);
  EXPECT_FALSE(PackBitsDecode(c.code.data(), c.code.size(), out.data(), c.out_size));
}

INSTANTIATE_TEST_SUITE_P(Codes, PackBitsMalformed,
                         ::testing::Values(BadCode{"literal_cut_short", {3, 1, 2}, 4},
                                           BadCode{"run_without_value", {0xFE}, 3},
                                           BadCode{"run_past_the_row", {0xFE, 7}, 2},
                                           BadCode{"literal_past_the_row", {2, 1, 2, 3}, 2},
                                           BadCode{"row_not_filled", {0xFE, 7}, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

// A small valid stream from the module itself, then damaged in several ways.
std::vector<std::uint8_t> SmallStream() {
  Image image(40, 20, 4);
  image.Fill([](int c, int x, int y) {
    return static_cast<std::uint8_t>((x * 6 + y * 3 + c * 50) % 256);
  });
  return PrintPage(image, 4, Layout::kPlanar, 64);
}

TEST(StreamDecoder, AcceptsTheModuleStream) {
  const auto decoded = Decode(SmallStream());
  ASSERT_TRUE(decoded.ok) << decoded.error;
  ASSERT_EQ(decoded.pages.size(), 1u);
  EXPECT_EQ(decoded.pages[0].header.inks.size(), 4u);
  EXPECT_EQ(decoded.pages[0].trailer.rows, 20u);
  EXPECT_EQ(decoded.pages[0].trailer.flags & kPageNormalEnd, kPageNormalEnd);
  ASSERT_EQ(decoded.job_ends.size(), 1u);
  EXPECT_EQ(decoded.job_ends[0].pages, 1u);
}

// Offset of the first record with `tag` in a stream.
std::size_t FindRecord(const std::vector<std::uint8_t>& s, const Tag& tag) {
  std::size_t at = 0;
  while (at + 8 <= s.size()) {
    if (std::memcmp(s.data() + at, tag.data(), 4) == 0) return at;
    const std::uint32_t len = s[at + 4] | (s[at + 5] << 8) | (s[at + 6] << 16) |
                              (static_cast<std::uint32_t>(s[at + 7]) << 24);
    at += 8 + len;
  }
  return std::string::npos;
}

struct Damage {
  const char* name;
  std::function<void(std::vector<std::uint8_t>&)> apply;
  const char* message;
};

class DamagedStream : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedStream, IsRefusedWithAReason) {
  auto s = SmallStream();
  GetParam().apply(s);
  const auto decoded = Decode(s);
  EXPECT_FALSE(decoded.ok);
  EXPECT_NE(decoded.error.find(GetParam().message), std::string::npos) << decoded.error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedStream,
    ::testing::Values(
        Damage{"cut_before_job_trailer", [](auto& s) { s.resize(FindRecord(s, kJobTrailerTag)); },
               "before the job trailer"},
        Damage{"cut_inside_a_record", [](auto& s) { s.resize(s.size() - 3); }, "stream cut"},
        Damage{"empty", [](auto& s) { s.clear(); }, "no job"},
        Damage{"checksum_changed",
               [](auto& s) {
                 const std::size_t t = FindRecord(s, kPageTrailerTag);
                 s[t + 8 + 12] ^= 0x01;  // low byte of the checksum
               },
               "checksum mismatch"},
        Damage{"dot_count_changed",
               [](auto& s) {
                 const std::size_t t = FindRecord(s, kPageTrailerTag);
                 s[t + 8 + 20] ^= 0x01;  // first ink's dot count
               },
               "dot count mismatch"},
        Damage{"unknown_record", [](auto& s) { s[FindRecord(s, kRowTag)] = 'X'; },
               "unknown record"},
        Damage{"row_without_page",
               [](auto& s) {
                 const std::size_t p = FindRecord(s, kPageHeaderTag);
                 std::memcpy(s.data() + p, kRowTag.data(), 4);
               },
               "row outside a page"}),
    [](const auto& info) { return std::string(info.param.name); });

// A flipped bit inside row data shows as a bad code or a checksum mismatch.
TEST(StreamDecoder, EveryFlippedRowByteIsCaught) {
  const auto original = SmallStream();
  const std::size_t first_row = FindRecord(original, kRowTag);
  const std::size_t trailer = FindRecord(original, kPageTrailerTag);
  for (std::size_t at = first_row + 12; at < trailer; at += 37) {
    auto s = original;
    s[at] ^= 0x10;
    EXPECT_FALSE(Decode(s).ok) << "byte " << at;
  }
}

}  // namespace
}  // namespace dorva_ref
