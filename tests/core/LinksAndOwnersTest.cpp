// Writing through links and over other users' files: a link in a shared sticky folder is followed
// only when it belongs to the writer or to the folder's owner, and a replaced file keeps its owner,
// group and permissions. The links are given their owners with lchown, so these tests need root.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "core/system/RegularFile.h"
#include "core/system/TextFile.h"
#include "tests/core/TempFolder.h"

namespace kaldo {
namespace {

constexpr uid_t kNobody = 65534;

struct stat StatOf(const std::string& name) {
  struct stat st {};
  ::lstat(name.c_str(), &st);
  return st;
}

// The ways the program writes files: replaced whole, opened from the start, and kept open for a
// run (the production log and the serial counter).
enum class Way { Replacing, Opened, Shared };
constexpr Way kWays[] = {Way::Replacing, Way::Opened, Way::Shared};
const char* const kWayNames[] = {", replacing", ", opened", ", shared"};

// Writes "new" to `name` one way; the error's text, or "written".
std::string WriteOneWay(const std::string& name, Way way) {
  try {
    if (way == Way::Replacing) {
      WriteFileReplacing(name, "new");
    } else {
      const int fd = way == Way::Opened ? OpenForWriting(name) : OpenRegularFile(name, O_RDWR);
      const bool whole = ::ftruncate(fd, 0) == 0 && ::write(fd, "new", 3) == 3;
      ::close(fd);
      if (!whole) return "short write";
    }
  } catch (const Error& e) {
    return e.what();
  }
  return "written";
}

TEST(LinksAndOwners, ALinkInASharedFolderIsFollowedOnlyWhereTheKernelRuleAllows) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving links an owner needs root";
  TempFolder t;
  ::chmod(t.path().c_str(), 0755);
  const std::string victim = t / "victim";
  // Sticky and writable by all, like /tmp: one owned by root, one by another user; and a folder
  // writable by all that is not sticky, where anyone could replace the file itself anyway.
  for (const char* folder : {"shared", "theirs", "open"}) ::mkdir((t / folder).c_str(), 0700);
  ::chmod((t / "shared").c_str(), 01777);
  ::chown((t / "theirs").c_str(), kNobody, kNobody);
  ::chmod((t / "theirs").c_str(), 01777);
  ::chmod((t / "open").c_str(), 0777);

  const struct {
    const char* what;
    const char* link;  // in t, pointing at the victim
    uid_t linkOwner;
    bool asNobody;
    bool followed;
  } cases[] = {
      {"another user's link, root writes", "shared/out", kNobody, false, false},
      {"the folder owner's link", "shared/out", 0, false, true},
      {"the writer's own link", "shared/out", kNobody, true, true},
      {"a link of the owner of the folder it is in", "theirs/out", kNobody, false, true},
      {"a folder that is not sticky", "open/out", kNobody, false, true},
  };
  for (const auto& c : cases) {
    for (Way way : kWays) {
      SCOPED_TRACE(std::string(c.what) + kWayNames[static_cast<int>(way)]);
      WriteBytes(victim, "secret");
      ::chmod(victim.c_str(), 0666);
      const std::string link = t / c.link;
      ::unlink(link.c_str());
      ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
      ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
      std::string outcome;
      {
        std::optional<WithoutRoot> user;
        if (c.asNobody) user.emplace();
        outcome = WriteOneWay(link, way);
      }
      if (c.followed) {
        EXPECT_EQ(outcome, "written");
        EXPECT_EQ(ReadBytes(victim), "new");
      } else {
        EXPECT_EQ(outcome, "'" + link +
                               "' is not followed: it is a link owned by another user in a folder "
                               "that everyone may write to");
        EXPECT_EQ(ReadBytes(victim), "secret");
      }
      EXPECT_TRUE(S_ISLNK(StatOf(link).st_mode));
    }
  }
}

TEST(LinksAndOwners, AChainStopsAtTheFirstLinkThatMayNotBeFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving links an owner needs root";
  TempFolder t;
  ::chmod(t.path().c_str(), 0755);
  ::mkdir((t / "shared").c_str(), 01777);
  ::chmod((t / "shared").c_str(), 01777);
  WriteBytes(t / "victim", "secret");
  ::symlink((t / "victim").c_str(), (t / "shared/planted").c_str());
  ::lchown((t / "shared/planted").c_str(), kNobody, kNobody);
  ::symlink("shared/planted", (t / "mine").c_str());
  EXPECT_EQ(WriteOneWay(t / "mine", Way::Shared),
            "'" + t.path() +
                "/shared/planted' is not followed: it is a link owned by another "
                "user in a folder that everyone may write to");
  EXPECT_EQ(ReadBytes(t / "victim"), "secret");
}

TEST(LinksAndOwners, AReplacedFileKeepsItsOwnerGroupAndPermissions) {
  if (::geteuid() != 0) GTEST_SKIP() << "files of two owners need root";
  TempFolder t;
  ::chmod(t.path().c_str(), 0777);
  const std::string theirs = t / "theirs.hex";
  WriteBytes(theirs, "old");
  ::chown(theirs.c_str(), kNobody, kNobody);
  ::chmod(theirs.c_str(), 0640);
  WriteFileReplacing(theirs, "new");  // by root, through a temporary file
  struct stat st = StatOf(theirs);
  EXPECT_EQ(ReadBytes(theirs), "new");
  EXPECT_EQ(st.st_uid, kNobody);
  EXPECT_EQ(st.st_gid, kNobody);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // A user who may write root's file but cannot give a new one root as its owner rewrites it
  // where it stands.
  const std::string roots = t / "root.hex";
  WriteBytes(roots, "old contents");
  ::chmod(roots.c_str(), 0666);
  const ino_t inode = StatOf(roots).st_ino;
  {
    WithoutRoot user;
    ASSERT_TRUE(user.ok());
    WriteFileReplacing(roots, "new");
  }
  st = StatOf(roots);
  EXPECT_EQ(ReadBytes(roots), "new");
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(st.st_ino, inode);
  EXPECT_EQ(st.st_mode & 07777, 0666u);
  EXPECT_EQ(t.Names().size(), 2u);  // no temporary file left
}

}  // namespace
}  // namespace kaldo
