// Runs the vxlforge program as a process, in a fresh folder, and checks what
// it prints, its exit status and the files it leaves.

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/read_file.h"
#include "support/reference_digests.h"
#include "support/sha256.h"

namespace {

using vxlforge::testing::read_file;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};


// The conventional unprivileged user and group ("nobody", "nogroup").
constexpr uid_t kUnprivilegedId = 65534;
constexpr int kNoPrivilegeDrop = 126;

// In a forked child running as root: becomes kUnprivilegedId, or exits with
// kNoPrivilegeDrop and the reason on standard error.
void drop_privileges_or_exit() {
  const char* failed = nullptr;
  if (setgroups(0, nullptr) != 0) {
    failed = "setgroups";
  } else if (setgid(kUnprivilegedId) != 0) {
    failed = "setgid";
  } else if (setuid(kUnprivilegedId) != 0) {
    failed = "setuid";
  } else if (access(VXLFORGE_BINARY, X_OK) != 0) {
    failed = "the program is not executable for an unprivileged user";
  }
  if (failed == nullptr) return;
  const std::string message = std::string(failed) + " failed\n";
  [[maybe_unused]] ssize_t ignored = write(2, message.data(), message.size());
  _exit(kNoPrivilegeDrop);
}

// The whole-file digest of `seed`'s plain map.
std::string reference_file_digest(std::int32_t seed) {
  for (const auto& run : vxlforge::testing::reference_runs()) {
    if (run.seed == seed && !run.debug_regions) return run.value("file");
  }
  return "no reference digest";
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char work_template[] = "/tmp/vxlforge-program-XXXXXX";
    ASSERT_NE(mkdtemp(work_template), nullptr);
    work_ = work_template;
    char capture_template[] = "/tmp/vxlforge-capture-XXXXXX";
    ASSERT_NE(mkdtemp(capture_template), nullptr);
    capture_ = capture_template;
  }

  void TearDown() override {
    std::system(("rm -rf '" + work_ + "' '" + capture_ + "'").c_str());
  }

  // Runs the program in the work folder with `name` as its argv[0]. A
  // non-zero `file_size_limit` makes writes beyond that many bytes fail
  // with EFBIG, a write failure that even root cannot get around. With
  // `unprivileged`, a process running as root runs the program as
  // kUnprivilegedId instead, so that permissions apply to it; the status is
  // then kNoPrivilegeDrop when that was impossible, with the reason on
  // standard error.
  Outcome run(const std::vector<std::string>& args,
              const std::string& name = "vxlforge",
              rlim_t file_size_limit = 0, bool unprivileged = false) {
    const std::string out_path = capture_ + "/out";
    const std::string err_path = capture_ + "/err";
    const pid_t pid = fork();
    if (pid == 0) {
      std::vector<std::string> words = {name};
      words.insert(words.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (std::string& w : words) argv.push_back(w.data());
      argv.push_back(nullptr);
      const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (out < 0 || err < 0 || chdir(work_.c_str()) != 0) _exit(127);
      if (file_size_limit != 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {file_size_limit, file_size_limit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
      }
      dup2(out, 1);
      dup2(err, 2);
      if (unprivileged && geteuid() == 0) drop_privileges_or_exit();
      execv(VXLFORGE_BINARY, argv.data());
      _exit(127);
    }
    Outcome outcome;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
      outcome.status = WEXITSTATUS(status);
    }
    outcome.out = read_file(out_path);
    outcome.err = read_file(err_path);
    return outcome;
  }

  // What the work folder, or its subfolder `sub`, holds.
  std::set<std::string> files(const std::string& sub = "") const {
    std::set<std::string> names;
    DIR* dir = opendir(sub.empty() ? work_.c_str() : path(sub).c_str());
    if (dir == nullptr) return {"(cannot list)"};
    while (dirent* e = readdir(dir)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    closedir(dir);
    return names;
  }

  std::string path(const std::string& name) const { return work_ + "/" + name; }

  // Checks how a run that could not write `shown_path` ended: the reason on
  // standard error, status 1, no "Finished", and no temporary file left in
  // the work folder (`expected_files` is all it may hold).
  void expect_write_refused(const Outcome& o, const std::string& shown_path,
                            const std::string& reason,
                            const std::set<std::string>& expected_files) {
    SCOPED_TRACE("path '" + shown_path.substr(0, 80) + "'");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "Generating to '" + shown_path + "' using seed '3'\n");
    EXPECT_EQ(o.err, "vxlforge: cannot write '" + shown_path + "': " + reason + "\n");
    EXPECT_EQ(files(), expected_files);
  }

  std::string work_;
  std::string capture_;
};

const char kUsageForMyName[] =
    "Usage: my-name {options}\n"
    "Options:\n"
    "   -s {seed}      Random seed; always generates the same map for a seed\n"
    "   -o {filename}  Filename to write to\n"
    "   -d             Debug; draws green & blue start regions\n"
    "\n"
    "If no seed is specified, a random one is generated.\n"
    "If no filename is written, writes to "
    "'c:/program files/vantrell/vxl/kelmap.vxl\n";

TEST_F(ProgramTest, HelpPrintsOnlyTheUsageAndWritesNothing) {
  const std::vector<std::vector<std::string>> cases = {
      {"-h"}, {"-?"}, {"-dh"}, {"-d", "-h"}, {"-s", "5", "-h", "-o", "x.vxl"}};
  for (const auto& args : cases) {
    const Outcome o = run(args, "my-name");
    EXPECT_EQ(o.status, 0) << args[0];
    EXPECT_EQ(o.out, kUsageForMyName) << args[0];
    EXPECT_EQ(o.err, "") << args[0];
  }
  EXPECT_TRUE(files().empty());
}

TEST_F(ProgramTest, GeneratesTheNamedFileWithTheGivenSeed) {
  const Outcome o = run({"-s", "1", "-o", "a.vxl"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "Generating to 'a.vxl' using seed '1'\nFinished\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(files(), std::set<std::string>{"a.vxl"});
  struct stat info;
  ASSERT_EQ(stat(path("a.vxl").c_str(), &info), 0);
  EXPECT_GE(info.st_size, 262144 * 4);  // at least one span per column
}

TEST_F(ProgramTest, SeedTextsAndLaterOptionsOverride) {
  EXPECT_EQ(run({"-s", "-5", "-o", "m.vxl"}).out,
            "Generating to 'm.vxl' using seed '-5'\nFinished\n");
  EXPECT_EQ(run({"-o", "a.vxl", "-s4294967295", "-o", "b.vxl"}).out,
            "Generating to 'b.vxl' using seed '-1'\nFinished\n");
  EXPECT_EQ(run({"-s", "42", "-x", "-s", "abc", "-o", "c.vxl", "bare"}).out,
            "Generating to 'c.vxl' using seed '0'\nFinished\n");
  EXPECT_EQ(files(), (std::set<std::string>{"m.vxl", "b.vxl", "c.vxl"}));
}

TEST_F(ProgramTest, SameSeedWritesIdenticalFiles) {
  ASSERT_EQ(run({"-s", "9", "-o", "one.vxl"}).status, 0);
  ASSERT_EQ(run({"-s", "9", "-o", "two.vxl"}).status, 0);
  EXPECT_EQ(read_file(path("one.vxl")), read_file(path("two.vxl")));
}

TEST_F(ProgramTest, WithoutSeedTheClockGivesIt) {
  const long before = static_cast<long>(std::time(nullptr));
  // A lone dash ends the options, so the -s after it is ignored.
  const Outcome o = run({"-o", "t.vxl", "-", "-s", "5"});
  const long after = static_cast<long>(std::time(nullptr));
  long seed = 0;
  ASSERT_EQ(std::sscanf(o.out.c_str(), "Generating to 't.vxl' using seed '%ld'",
                        &seed),
            1)
      << o.out;
  EXPECT_GE(seed, before);
  EXPECT_LE(seed, after);
}

TEST_F(ProgramTest, MissingOptionValueExitsTwoWithoutOutput) {
  for (const char* letter : {"s", "o"}) {
    const Outcome o = run({"-d", std::string("-") + letter});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, std::string("vxlforge: option -") + letter +
                         " requires a value\n");
  }
  EXPECT_EQ(run({"-ds"}).err, "vxlforge: option -s requires a value\n");
  EXPECT_TRUE(files().empty());
}

TEST_F(ProgramTest, UnwritablePathExitsOneAndKeepsExistingFiles) {
  // A folder in the way keeps what it holds.
  ASSERT_EQ(mkdir(path("folder").c_str(), 0755), 0);
  { std::ofstream(path("folder/inside.vxl")) << "old map"; }
  const std::set<std::string> only_folder = {"folder"};

  const std::string long_name(NAME_MAX + 1, 'n');
  std::string long_path;
  while (long_path.size() <= PATH_MAX) long_path += "x/";
  long_path += "m.vxl";
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {"no-such-folder/m.vxl", "No such file or directory"},
      {"folder", "Is a directory"},
      {"", "No such file or directory"},
      {"/dev/full", "No space left on device"},
      {long_name, "File name too long"},
      {long_name + "/m.vxl", "File name too long"},
      {long_path, "File name too long"},
  };
  for (const auto& c : cases) {
    expect_write_refused(run({"-s", "3", "-o", c.path}), c.path, c.reason,
                         only_folder);
  }
  struct stat info;
  ASSERT_EQ(stat(path("folder").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(read_file(path("folder/inside.vxl")), "old map");
}

TEST_F(ProgramTest, ReadOnlyFolderKeepsTheExistingFile) {
  // Root writes into any folder, so as root the program runs unprivileged;
  // the work folder must let that user reach the read-only one.
  ASSERT_EQ(chmod(work_.c_str(), 0755), 0);
  ASSERT_EQ(mkdir(path("ro").c_str(), 0755), 0);
  { std::ofstream(path("ro/m.vxl")) << "old map"; }
  ASSERT_EQ(chmod(path("ro").c_str(), 0555), 0);
  if (geteuid() != 0 && access(path("ro").c_str(), W_OK) == 0) {
    GTEST_SKIP() << "this user may write into a read-only folder";
  }
  const Outcome o = run({"-s", "3", "-o", "ro/m.vxl"}, "vxlforge", 0, true);
  chmod(path("ro").c_str(), 0755);  // so that it can be listed and removed
  if (o.status == kNoPrivilegeDrop) {
    GTEST_SKIP() << "running as root and cannot run the program as uid "
                 << kUnprivilegedId << ": " << o.err;
  }
  expect_write_refused(o, "ro/m.vxl", "Permission denied", {"ro"});
  EXPECT_EQ(read_file(path("ro/m.vxl")), "old map");
  EXPECT_EQ(files("ro"), std::set<std::string>{"m.vxl"});
}

TEST_F(ProgramTest, SymbolicLinkStaysAndTheFileItNamesGetsTheMap) {
  ASSERT_EQ(mkdir(path("maps").c_str(), 0755), 0);
  { std::ofstream(path("maps/real.vxl")) << "old map"; }
  ASSERT_EQ(symlink("maps/real.vxl", path("link.vxl").c_str()), 0);
  const Outcome o = run({"-s", "1", "-o", "link.vxl"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "Generating to 'link.vxl' using seed '1'\nFinished\n");
  const std::string map = read_file(path("maps/real.vxl"));
  EXPECT_EQ(vxlforge::testing::sha256_hex(map.data(), map.size()),
            reference_file_digest(1));
  char target[64] = {};
  ASSERT_GT(readlink(path("link.vxl").c_str(), target, sizeof(target) - 1), 0);
  EXPECT_STREQ(target, "maps/real.vxl");
  EXPECT_EQ(files(), (std::set<std::string>{"link.vxl", "maps"}));
  EXPECT_EQ(files("maps"), std::set<std::string>{"real.vxl"});
}

TEST_F(ProgramTest, PipeReceivesTheWholeMap) {
  const std::string pipe = path("pipe");
  const std::string received = capture_ + "/received";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  // The reader copies what comes through the pipe into a file, using only
  // system calls, since it is a fork of the test process.
  const pid_t reader = fork();
  if (reader == 0) {
    const int in = open(pipe.c_str(), O_RDONLY);
    const int out = open(received.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0) _exit(1);
    char buffer[65536];
    ssize_t n;
    while ((n = read(in, buffer, sizeof(buffer))) > 0) {
      if (write(out, buffer, static_cast<std::size_t>(n)) != n) _exit(1);
    }
    _exit(n == 0 ? 0 : 1);
  }
  ASSERT_GT(reader, 0);
  const Outcome o = run({"-s", "1", "-o", "pipe"});
  // Should the program never have opened the pipe, this lets the reader end.
  const int unblock = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
  if (unblock >= 0) close(unblock);
  int status = 0;
  ASSERT_EQ(waitpid(reader, &status, 0), reader);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "Generating to 'pipe' using seed '1'\nFinished\n");
  const std::string map = read_file(received);
  EXPECT_EQ(vxlforge::testing::sha256_hex(map.data(), map.size()),
            reference_file_digest(1));
  struct stat info;
  ASSERT_EQ(lstat(pipe.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_EQ(files(), std::set<std::string>{"pipe"});
}

TEST_F(ProgramTest, FailedWriteKeepsTheExistingFileAndLeavesNoTemporary) {
  { std::ofstream(path("m.vxl")) << "old map"; }
  const Outcome o = run({"-s", "1", "-o", "m.vxl"}, "vxlforge", 4096);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "Generating to 'm.vxl' using seed '1'\n");
  EXPECT_EQ(o.err, "vxlforge: cannot write 'm.vxl': File too large\n");
  EXPECT_EQ(read_file(path("m.vxl")), "old map");
  EXPECT_EQ(files(), std::set<std::string>{"m.vxl"});
}

}  // namespace
