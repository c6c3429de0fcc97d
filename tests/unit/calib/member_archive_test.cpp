#include "calib/member_archive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/log.h"
#include "support/end_to_end.h"
#include "support/log_capture.h"

namespace tavik {
namespace {

namespace fs = std::filesystem;
using test::LogCapture;
using test::TempDir;
using Bytes = std::vector<unsigned char>;

Bytes ToBytes(std::string_view s) {
  return Bytes(s.begin(), s.end());
}
std::string ToString(const Bytes& b) {
  return std::string(b.begin(), b.end());
}

std::string Field(std::string_view text, std::size_t size) {
  std::string out(text.substr(0, size));
  out.resize(size, ' ');
  return out;
}

void WriteFile(const fs::path& p, std::string_view content) {
  std::ofstream out(p, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> ListTree(const fs::path& root) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    names.insert(fs::relative(e.path(), root).generic_string());
  }
  return names;
}

// A raw member header as a hostile or foreign writer might lay it out.
std::string RawHeader(std::string_view name_field, std::string_view size_field) {
  return Field(name_field, 15) + Field("0", 12) + Field("0", 6) + Field("0", 6) +
         Field("10644", 8) + Field(size_field, 10) + "`\n";
}

TEST(MemberArchive, EmptyListIsTheSignatureAlone) {
  const Bytes bytes = WriteArchive({});
  EXPECT_EQ(ToString(bytes), "!<arch>");
  ArchiveMemberList members(1);
  ASSERT_TRUE(ReadArchive(bytes, members));
  EXPECT_TRUE(members.empty());
}

struct MemberCase {
  const char* label;
  std::string name;
  std::string content;
  std::string name_field;   // expected, unpadded
  std::string data;         // expected member data
  std::string expanded_as;  // file name the expansion writes
};

class MemberForms : public ::testing::TestWithParam<MemberCase> {};

TEST_P(MemberForms, ArchiveIsByteExactAndRoundTrips) {
  const MemberCase& c = GetParam();
  TempDir src;
  const fs::path file = src.path() / c.name;
  WriteFile(file, c.content);

  const auto before = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  const std::optional<ArchiveMember> member = MakeMember(file, 0, 0, 10644);
  const auto after = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
  ASSERT_TRUE(member.has_value());

  const std::string archive = ToString(WriteArchive({*member}));
  const std::string pad = (c.data.size() % 2 == 1) ? "\n" : "";
  ASSERT_EQ(archive.size(), 7 + 59 + c.data.size() + pad.size());
  EXPECT_EQ(archive.substr(0, 7), "!<arch>");
  EXPECT_EQ(archive.substr(7, 15), Field(c.name_field, 15));
  const std::string date = archive.substr(7 + 15, 12);
  const long long stamp = std::stoll(date);
  EXPECT_GE(stamp, before);
  EXPECT_LE(stamp, after);
  EXPECT_EQ(date, Field(std::to_string(stamp), 12));
  EXPECT_EQ(archive.substr(7 + 27, 6), Field("0", 6));
  EXPECT_EQ(archive.substr(7 + 33, 6), Field("0", 6));
  EXPECT_EQ(archive.substr(7 + 39, 8), Field("10644", 8));
  EXPECT_EQ(archive.substr(7 + 47, 10), Field(std::to_string(c.content.size()), 10));
  EXPECT_EQ(archive.substr(7 + 57, 2), "`\n");
  EXPECT_EQ(archive.substr(7 + 59, c.data.size()), c.data);
  EXPECT_EQ(archive.substr(7 + 59 + c.data.size()), pad);

  ArchiveMemberList read;
  ASSERT_TRUE(ReadArchive(ToBytes(archive), read));
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].header, member->header);
  EXPECT_EQ(ToString(read[0].data), c.data);

  TempDir dst;
  ASSERT_TRUE(ExpandArchive(read, dst.path()));
  EXPECT_EQ(ListTree(dst.path()), std::set<std::string>{c.expanded_as});
  EXPECT_EQ(ReadFile(dst.path() / c.expanded_as), c.content);
}

INSTANTIATE_TEST_SUITE_P(
    NameForms, MemberForms,
    ::testing::Values(MemberCase{"FiveByteNameOddContent", "a.HC1", "xyz", "a.HC1", "xyz", "a.HC1"},
                      MemberCase{"FifteenByteNameEmptyContent", "abcdefghij.CA1", "",
                                 "abcdefghij.CA1", "", "abcdefghij.CA1"},
                      MemberCase{"ExactlyFifteenBytes", "abcdefghijk.CA1", "12", "abcdefghijk.CA1",
                                 "12", "abcdefghijk.CA1"},
                      MemberCase{"SixteenBytesIsLong", "abcdefghijkl.BZ1", "12", "#1/16",
                                 "abcdefghijkl.BZ112", "abcdefghijkl.BZ1"},
                      MemberCase{"LongNameOddTotal", "calibration_0001.HC1", "odd", "#1/20",
                                 "calibration_0001.HC1odd", "calibration_0001.HC1"},
                      MemberCase{"SpaceEndsTheName", "ab cd.HC1", "q", "ab cd.HC1", "q", "ab"},
                      MemberCase{"BinaryContent", "bin", std::string("\0\xff\n\x60\0", 5), "bin",
                                 std::string("\0\xff\n\x60\0", 5), "bin"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(MemberArchive, NumericFieldsAreCutToTheirSize) {
  TempDir src;
  WriteFile(src.path() / "f", "z");
  const auto member = MakeMember(src.path() / "f", 12345678, -1, 1234567890);
  ASSERT_TRUE(member.has_value());
  const std::string header(member->header.begin(), member->header.end());
  EXPECT_EQ(header.substr(27, 6), "123456");
  EXPECT_EQ(header.substr(33, 6), Field("-1", 6));
  EXPECT_EQ(header.substr(39, 8), "12345678");
}

TEST(MemberArchive, MakeMemberRefusesWhatIsNotARegularFile) {
  TempDir src;
  fs::create_directory(src.path() / "sub");
  EXPECT_FALSE(MakeMember(src.path() / "missing", 0, 0, 10644).has_value());
  EXPECT_FALSE(MakeMember(src.path() / "sub", 0, 0, 10644).has_value());
}

struct NameCase {
  std::string field;
  std::int32_t length;  // meaningful when neither flag is set
  bool invalid;
  bool out_of_range;
};

TEST(MemberArchive, ParseMemberNameTellsTheForms) {
  const NameCase cases[] = {
      {Field("a.HC1", 15), 5, false, false},  {"abcdefghijklmno", 15, false, false},
      {Field("#1/16", 15), 16, false, false}, {Field("#1/4000", 15), 4000, false, false},
      {Field("#1/5", 15), 5, false, false},   {"#1/\t\v17abc     ", 17, false, false},
      {"#1/+18         ", 18, false, false},  {Field(" lead", 15), 0, false, false},
      {Field("", 15), 0, false, false},       {Field("#1/", 15), 0, true, false},
      {"#1/abc         ", 0, true, false},    {"#1/2147483647  ", 2147483647, false, false},
      {"#1/2147483648  ", 0, false, true},    {"#1/999999999999", 0, false, true},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.field);
    if (c.invalid) {
      EXPECT_THROW(ParseMemberName(c.field), std::invalid_argument);
    } else if (c.out_of_range) {
      EXPECT_THROW(ParseMemberName(c.field), std::out_of_range);
    } else {
      EXPECT_EQ(ParseMemberName(c.field), c.length);
    }
  }
}

TEST(MemberArchive, MissingSignatureIsRefused) {
  const std::string inputs[] = {"", "!<arc", "!<arc>", "!<ARCH>", "<arch>!xxxxxxxxxx"};
  for (const std::string& in : inputs) {
    ArchiveMemberList members;
    EXPECT_FALSE(ReadArchive(ToBytes(in), members)) << in;
  }
}

TEST(MemberArchive, TruncatedMemberIsKeptZeroFilled) {
  ArchiveMemberList members(2);
  for (std::size_t i = 0; i < 2; ++i) {
    const std::string h = RawHeader(i == 0 ? "one" : "two", i == 0 ? "4" : "6");
    std::copy(h.begin(), h.end(), members[i].header.begin());
  }
  members[0].data = ToBytes("1234");
  members[1].data = ToBytes("abcdef");
  Bytes bytes = WriteArchive(members);
  bytes.resize(bytes.size() - 4);  // ends after "ab"

  ArchiveMemberList read;
  ASSERT_TRUE(ReadArchive(bytes, read));
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(ToString(read[0].data), "1234");
  EXPECT_EQ(read[1].data, (Bytes{'a', 'b', 0, 0, 0, 0}));
}

TEST(MemberArchive, DamagedHeaderEndsReadingWithWhatWasRead) {
  const std::string good = RawHeader("keep", "3") + "abc\n";
  // A member after the damage must not be read; a header cut by the end of
  // input is damaged too.
  const std::string inputs[] = {
      RawHeader("bad", "x") + "zz" + good,
      RawHeader("#1/x", "1") + "z\n" + good,
      RawHeader("neg", "-5") + good,
      RawHeader("#1/2147483647", "2147483647") + good,
      "partial",
  };
  for (const std::string& tail : inputs) {
    SCOPED_TRACE(tail);
    ArchiveMemberList read;
    ASSERT_TRUE(ReadArchive(ToBytes("!<arch>" + good + tail), read));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(ToString(read[0].data), "abc");
  }
}

TEST(MemberArchive, CommonLayoutIsNotReadAsItsMembers) {
  // Eight-byte signature and 60-byte headers with a 16-byte name field.
  const std::string common = "!<arch>\n" + Field("hello/", 16) + Field("0", 12) + Field("0", 6) +
                             Field("0", 6) + Field("100644", 8) + Field("5", 10) + "`\n" +
                             "world\n";
  ArchiveMemberList read;
  ASSERT_TRUE(ReadArchive(ToBytes(common), read));
  for (const ArchiveMember& m : read) EXPECT_NE(ToString(m.data), "world");

  TempDir dst;
  ASSERT_TRUE(ExpandArchive(read, dst.path()));
  EXPECT_FALSE(fs::exists(dst.path() / "hello"));
}

TEST(MemberArchive, ExpandNeedsAnExistingDirectory) {
  TempDir base;
  WriteFile(base.path() / "plain", "keep");
  ArchiveMemberList members;
  ASSERT_TRUE(ReadArchive(ToBytes("!<arch>" + RawHeader("x.HC1", "1") + "y\n"), members));
  EXPECT_FALSE(ExpandArchive(members, base.path() / "plain"));
  EXPECT_FALSE(ExpandArchive(members, base.path() / "missing"));
  EXPECT_EQ(ListTree(base.path()), std::set<std::string>{"plain"});
  EXPECT_EQ(ReadFile(base.path() / "plain"), "keep");
}

TEST(MemberArchive, HostileNamesStayInsideTheDirectory) {
  const std::string escape20 = "../../../../tmp/evil";  // 20 bytes, long form
  const std::string archive =
      "!<arch>" + RawHeader("../up", "1") + "a\n" + RawHeader("/abs", "1") + "b\n" +
      RawHeader("..", "1") + "c\n" + RawHeader("a\\b", "1") + "d\n" + RawHeader("", "1") + "e\n" +
      RawHeader("#1/20", "1") + escape20 + "f\n" + RawHeader("#1/16", "1") + "sub/dir/file.HC1" +
      "g\n" + RawHeader("#1/-3", "1") + "h\n" + RawHeader("#1/17", "1") +
      std::string("nul\0name_xxxx.HC1", 17) + "i" + RawHeader("good.CA1", "2") + "ok";

  ArchiveMemberList members;
  ASSERT_TRUE(ReadArchive(ToBytes(archive), members));
  ASSERT_EQ(members.size(), 10u);

  TempDir sandbox;
  const fs::path target = sandbox.path() / "a" / "b" / "c" / "target";
  fs::create_directories(target);
  LogCapture log(kError);
  ASSERT_TRUE(ExpandArchive(members, target));

  EXPECT_EQ(ListTree(sandbox.path()),
            (std::set<std::string>{"a", "a/b", "a/b/c", "a/b/c/target", "a/b/c/target/good.CA1"}));
  EXPECT_EQ(ReadFile(target / "good.CA1"), "ok");
  EXPECT_FALSE(fs::exists("/abs"));
  EXPECT_EQ(log.records().size(), 9u);
}

}  // namespace
}  // namespace tavik
