// An archive cut short keeps its last member with a zero-filled tail, but a
// size field claiming far more than the archive holds does not make a few
// header bytes allocate gigabytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "calib/member_archive.h"

namespace tavik {
namespace {

// A 59-byte header: name field, date, uid, gid, mode, size, terminator.
std::string Header(const std::string& name_field, const std::string& size_field) {
  auto field = [](const std::string& text, std::size_t size) {
    std::string out = text.substr(0, size);
    out.resize(size, ' ');
    return out;
  };
  return field(name_field, 15) + field("1700000000", 12) + field("0", 6) + field("0", 6) +
         field("10644", 8) + field(size_field, 10) + "`\n";
}

TEST(MemberArchiveLimitsTest, MissingBytesAreMadeUpOnlyUpToTheLimit) {
  const std::int64_t limit = static_cast<std::int64_t>(kMaxMissingMemberBytes);
  const std::string whole = Header("first.CA1", "4") + "abcd";
  const struct Case {
    const char* name;
    std::string tail;  // after the signature and the whole first member
    std::size_t members;
    std::size_t last_size;
  } cases[] = {
      {"cut by a few bytes", Header("second.CA1", "10") + "wxyz", 2, 10},
      {"cut by the limit", Header("second.CA1", std::to_string(limit + 4)) + "wxyz", 2,
       static_cast<std::size_t>(limit + 4)},
      {"cut by one byte more", Header("second.CA1", std::to_string(limit + 5)) + "wxyz", 1, 4},
      {"two gigabytes claimed", Header("second.CA1", "2147483647") + "xyz", 1, 4},
      {"long name of two gigabytes", Header("#1/2000000000", "0") + "name", 1, 4},
      {"header cut short", Header("second.CA1", "10").substr(0, 20), 1, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string archive = std::string(kArchiveSignature) + whole + c.tail;
    ArchiveMemberList members;
    ASSERT_TRUE(ReadArchive(
        std::span(reinterpret_cast<const unsigned char*>(archive.data()), archive.size()),
        members));
    ASSERT_EQ(members.size(), c.members);
    EXPECT_EQ(std::string(members[0].data.begin(), members[0].data.end()), "abcd");
    EXPECT_EQ(members.back().data.size(), c.last_size);
    if (c.members == 2) {
      EXPECT_EQ(std::string(members[1].data.begin(), members[1].data.begin() + 4), "wxyz");
      EXPECT_EQ(members[1].data.back(), 0) << "the missing tail is zeros";
    }
  }
}

}  // namespace
}  // namespace tavik
