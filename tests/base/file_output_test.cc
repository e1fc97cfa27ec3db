#include "base/file_output.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "support/read_file.h"

namespace vxlforge {
namespace {

using testing::read_file;


class FileOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/vxlforge-output-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    folder_ = folder;
  }
  void TearDown() override {
    std::system(("rm -rf '" + folder_ + "'").c_str());
  }

  std::string path(const std::string& name) const {
    return folder_ + "/" + name;
  }

  std::set<std::string> files() const {
    std::set<std::string> names;
    DIR* dir = opendir(folder_.c_str());
    while (dirent* e = readdir(dir)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    closedir(dir);
    return names;
  }

  bool write(const std::string& target, const std::string& data) {
    reason_.clear();
    return write_file_replacing(target.c_str(), data.data(), data.size(),
                                &reason_);
  }

  bool unnamed_files_here() const {
    const int fd = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (fd < 0) return false;
    close(fd);
    return true;
  }

  std::string folder_;
  std::string reason_;
};

TEST_F(FileOutputTest, NewFileGetsContentAndUmaskedPermissions) {
  const mode_t old_mask = umask(027);
  const bool ok = write(path("new.vxl"), "abc");
  umask(old_mask);
  ASSERT_TRUE(ok) << reason_;
  EXPECT_EQ(read_file(path("new.vxl")), "abc");
  struct stat info;
  ASSERT_EQ(stat(path("new.vxl").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(files(), std::set<std::string>{"new.vxl"});
}

TEST_F(FileOutputTest, ReplacedFileKeepsItsPermissions) {
  { std::ofstream(path("m.vxl")) << "old old old"; }
  ASSERT_EQ(chmod(path("m.vxl").c_str(), 0604), 0);
  ASSERT_TRUE(write(path("m.vxl"), "new")) << reason_;
  EXPECT_EQ(read_file(path("m.vxl")), "new");
  struct stat info;
  ASSERT_EQ(stat(path("m.vxl").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0604u);
}

TEST_F(FileOutputTest, ReplacedFileIsANewFileAndHardLinksKeepTheOldContent) {
  { std::ofstream(path("m.vxl")) << "old"; }
  ASSERT_EQ(link(path("m.vxl").c_str(), path("other-name.vxl").c_str()), 0);
  // Set-id bits would hand the old owner's rights to a file of another.
  ASSERT_EQ(chmod(path("m.vxl").c_str(), 04750), 0);
  struct stat before;
  ASSERT_EQ(stat(path("m.vxl").c_str(), &before), 0);
  ASSERT_TRUE(write(path("m.vxl"), "new")) << reason_;
  struct stat after;
  ASSERT_EQ(stat(path("m.vxl").c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0750u);
  EXPECT_EQ(after.st_uid, geteuid());
  EXPECT_EQ(read_file(path("m.vxl")), "new");
  EXPECT_EQ(read_file(path("other-name.vxl")), "old");
  EXPECT_EQ(files(), (std::set<std::string>{"m.vxl", "other-name.vxl"}));
}

TEST_F(FileOutputTest, DevicesAreWrittenInPlace) {
  ASSERT_TRUE(write("/dev/null", "nothing")) << reason_;
  struct stat info;
  ASSERT_EQ(stat("/dev/null", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
}

TEST_F(FileOutputTest, DeletedFileBehindADescriptorLinkIsWrittenInPlace) {
  // The link's text, "/.../gone.vxl (deleted)", names no file; the open
  // file behind it gets the bytes, and no file of that name appears.
  const int fd = ::open(path("gone.vxl").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(unlink(path("gone.vxl").c_str()), 0);
  EXPECT_TRUE(write("/proc/self/fd/" + std::to_string(fd), "kept")) << reason_;
  char buffer[8] = {};
  EXPECT_EQ(pread(fd, buffer, sizeof(buffer), 0), 4);
  EXPECT_STREQ(buffer, "kept");
  close(fd);
  EXPECT_TRUE(files().empty());
}

TEST_F(FileOutputTest, NamesOpenFileKnowsWhatADescriptorHasOpen) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  EXPECT_TRUE(names_open_file(("/dev/fd/" + std::to_string(ends[0])).c_str(), ends[1]));
  { std::ofstream(path("a.vxl")) << "a"; }
  ASSERT_EQ(symlink("a.vxl", path("to-a.vxl").c_str()), 0);
  const int a = ::open(path("a.vxl").c_str(), O_RDONLY);
  EXPECT_TRUE(names_open_file(path("to-a.vxl").c_str(), a));
  EXPECT_FALSE(names_open_file(path("a.vxl").c_str(), ends[1]));
  EXPECT_FALSE(names_open_file(path("missing.vxl").c_str(), a));
  close(a);
  close(ends[0]);
  close(ends[1]);
}

TEST_F(FileOutputTest, SymbolicLinkStaysAndItsTargetIsReplaced) {
  ASSERT_EQ(mkdir(path("sub").c_str(), 0755), 0);
  { std::ofstream(path("sub/real.vxl")) << "old"; }
  ASSERT_EQ(symlink("sub/real.vxl", path("link.vxl").c_str()), 0);
  ASSERT_TRUE(write(path("link.vxl"), "fresh")) << reason_;
  struct stat info;
  ASSERT_EQ(lstat(path("link.vxl").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(read_file(path("sub/real.vxl")), "fresh");

  // A dangling link creates the file it names.
  ASSERT_EQ(symlink("sub/later.vxl", path("dangling.vxl").c_str()), 0);
  ASSERT_TRUE(write(path("dangling.vxl"), "x")) << reason_;
  EXPECT_EQ(read_file(path("sub/later.vxl")), "x");
  EXPECT_EQ(files(), (std::set<std::string>{"sub", "link.vxl", "dangling.vxl"}));
}

TEST_F(FileOutputTest, FailuresReportTheReasonAndLeaveNothingBehind) {
  EXPECT_FALSE(write(path("missing/m.vxl"), "abc"));
  EXPECT_EQ(reason_, "No such file or directory");
  EXPECT_FALSE(write("", "abc"));
  EXPECT_EQ(reason_, "No such file or directory");
  ASSERT_EQ(mkdir(path("folder").c_str(), 0755), 0);
  EXPECT_FALSE(write(path("folder"), "abc"));
  EXPECT_EQ(reason_, "Is a directory");
  EXPECT_FALSE(write("/dev/full", "abc"));
  EXPECT_EQ(reason_, "No space left on device");
  // A link loop never resolves.
  ASSERT_EQ(symlink("loop.vxl", path("loop.vxl").c_str()), 0);
  EXPECT_FALSE(write(path("loop.vxl"), "abc"));
  EXPECT_EQ(reason_, "Too many levels of symbolic links");
  EXPECT_EQ(files(), (std::set<std::string>{"folder", "loop.vxl"}));
}

TEST_F(FileOutputTest, PiecesAppendInOrderAndAppearOnlyWhenFinished) {
  { std::ofstream(path("map.vxl")) << "old"; }
  ReplacingFile file;
  ASSERT_TRUE(file.open(path("map.vxl").c_str()));
  EXPECT_TRUE(file.append("first ", 6));
  EXPECT_TRUE(file.append("", 0));
  EXPECT_TRUE(file.append("second", 6));
  // Until finished, the old file stays and the pieces sit in a temporary,
  // which has no name where the file system allows.
  EXPECT_EQ(read_file(path("map.vxl")), "old");
  EXPECT_EQ(files().size(), unnamed_files_here() ? 1u : 2u);
  std::string reason;
  ASSERT_TRUE(file.finish(&reason)) << reason;
  EXPECT_EQ(read_file(path("map.vxl")), "first second");
  EXPECT_EQ(files(), std::set<std::string>{"map.vxl"});
}

TEST_F(FileOutputTest, AbandonedOrFailedWritesLeaveTheOldFileAlone) {
  { std::ofstream(path("map.vxl")) << "old"; }
  {
    // Given up before finishing, as when an exception unwinds the writer.
    ReplacingFile file;
    ASSERT_TRUE(file.open(path("map.vxl").c_str()));
    ASSERT_TRUE(file.append("half", 4));
  }
  EXPECT_EQ(read_file(path("map.vxl")), "old");
  EXPECT_EQ(files(), std::set<std::string>{"map.vxl"});
  // A failed piece fails every later call, and finish gives its reason.
  ReplacingFile full;
  ASSERT_TRUE(full.open("/dev/full"));
  EXPECT_FALSE(full.append("abc", 3));
  EXPECT_FALSE(full.append("def", 3));
  std::string reason;
  EXPECT_FALSE(full.finish(&reason));
  EXPECT_EQ(reason, "No space left on device");
  // Appending to a file that failed to open fails too.
  ReplacingFile missing;
  EXPECT_FALSE(missing.open(path("missing/m.vxl").c_str()));
  EXPECT_FALSE(missing.append("abc", 3));
  EXPECT_FALSE(missing.finish(&reason));
  EXPECT_EQ(reason, "No such file or directory");
}

TEST_F(FileOutputTest, PipeIsWrittenDirectly) {
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
  const pid_t reader = fork();
  if (reader == 0) {
    // Exits 0 only when the pipe delivers exactly the bytes written.
    _exit(read_file(path("pipe")) == "through the pipe" ? 0 : 1);
  }
  ASSERT_GT(reader, 0);
  EXPECT_TRUE(write(path("pipe"), "through the pipe")) << reason_;
  int status = 0;
  ASSERT_EQ(waitpid(reader, &status, 0), reader);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(files(), std::set<std::string>{"pipe"});
}

TEST_F(FileOutputTest, PipeNamedThroughItsDescriptorIsWrittenDirectly) {
  // /proc/self/fd/N links to text such as "pipe:[1234]", which names no
  // file; the pipe itself must still receive the bytes.
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const std::string name = "/proc/self/fd/" + std::to_string(ends[1]);
  EXPECT_TRUE(write(name, "via descriptor")) << reason_;
  close(ends[1]);
  char buffer[64] = {};
  EXPECT_EQ(read(ends[0], buffer, sizeof(buffer)), 14);
  EXPECT_STREQ(buffer, "via descriptor");
  close(ends[0]);
}

TEST_F(FileOutputTest, ReadOnlyFileIsRefusedForAnUnprivilegedUser) {
  // Root may write any file, so the check runs in a child that gives up
  // its privileges; the folder stays writable, so only the file's own
  // permission can refuse the write.
  ASSERT_EQ(chmod(folder_.c_str(), 0777), 0);
  { std::ofstream(path("kept.vxl")) << "old"; }
  ASSERT_EQ(chmod(path("kept.vxl").c_str(), 0444), 0);
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    std::string reason;
    const bool written = write_file_replacing(path("kept.vxl").c_str(), "new", 3, &reason);
    _exit(!written && reason == "Permission denied" ? 0 : 1);
  }
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot drop privileges here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(read_file(path("kept.vxl")), "old");
  EXPECT_EQ(files(), std::set<std::string>{"kept.vxl"});
}

}  // namespace
}  // namespace vxlforge
