// Runs the vxlforge program as a process, in a fresh folder, and checks what
// it prints, its exit status and the files it leaves: with real pipes,
// tmpfs folders, signals sent to the running program and resource limits.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"
#include "support/read_file.h"
#include "support/reference_digests.h"
#include "support/sha256.h"
#include "support/temporary_files.h"

namespace {

using vxlforge::testing::files_in;
using vxlforge::testing::Process;
using vxlforge::testing::ProcessOptions;
using vxlforge::testing::ProcessResult;
using vxlforge::testing::read_file;
using vxlforge::testing::run_process;
using vxlforge::testing::vxlforge_binary;

// The whole-file digest of `seed`'s plain map.
std::string reference_file_digest(std::int32_t seed) {
  for (const auto& run : vxlforge::testing::reference_runs()) {
    if (run.seed == seed && !run.debug_regions) return run.value("file");
  }
  return "no reference digest";
}

std::string digest(const std::string& bytes) {
  return vxlforge::testing::sha256_hex(bytes.data(), bytes.size());
}

std::string messages(const std::string& path, int seed) {
  return "Generating to '" + path + "' using seed '" + std::to_string(seed) + "'\nFinished\n";
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char work_template[] = "/tmp/vxlforge-program-XXXXXX";
    ASSERT_NE(mkdtemp(work_template), nullptr);
    work_ = work_template;
  }

  void TearDown() override { std::system(("rm -rf '" + work_ + "'").c_str()); }

  // Runs the program in the work folder; `options` may set anything but
  // the folder.
  ProcessResult run(const std::vector<std::string>& args, ProcessOptions options = {}) {
    options.working_directory = work_;
    if (options.argv0.empty()) options.argv0 = "vxlforge";
    return run_process(vxlforge_binary(), args, options);
  }

  std::set<std::string> files(const std::string& sub = "") const {
    return files_in(sub.empty() ? work_ : path(sub));
  }

  std::string path(const std::string& name) const { return work_ + "/" + name; }

  // Checks how a run that could not write `shown_path` ended: the reason on
  // standard error, status 1, no "Finished", and no temporary file left in
  // the work folder (`expected_files` is all it may hold).
  void expect_write_refused(const ProcessResult& o, const std::string& shown_path,
                            const std::string& reason,
                            const std::set<std::string>& expected_files) {
    SCOPED_TRACE("path '" + shown_path.substr(0, 80) + "'");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "Generating to '" + shown_path + "' using seed '3'\n");
    EXPECT_EQ(o.err, "vxlforge: cannot write '" + shown_path + "': " + reason + "\n");
    EXPECT_EQ(files(), expected_files);
  }

  std::string work_;
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
  ProcessOptions named;
  named.argv0 = "my-name";
  for (const auto& args : cases) {
    const ProcessResult o = run(args, named);
    EXPECT_EQ(o.status, 0) << args[0];
    EXPECT_EQ(o.out, kUsageForMyName) << args[0];
    EXPECT_EQ(o.err, "") << args[0];
  }
  EXPECT_TRUE(files().empty());
}

TEST_F(ProgramTest, GeneratesTheNamedFileWithTheGivenSeed) {
  const ProcessResult o = run({"-s", "1", "-o", "a.vxl"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, messages("a.vxl", 1));
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(files(), std::set<std::string>{"a.vxl"});
  EXPECT_EQ(digest(read_file(path("a.vxl"))), reference_file_digest(1));
}

TEST_F(ProgramTest, SeedTextsAndLaterOptionsOverride) {
  EXPECT_EQ(run({"-s", "-5", "-o", "m.vxl"}).out, messages("m.vxl", -5));
  EXPECT_EQ(run({"-o", "a.vxl", "-s4294967295", "-o", "b.vxl"}).out, messages("b.vxl", -1));
  EXPECT_EQ(run({"-s", "42", "-x", "-s", "abc", "-o", "c.vxl", "bare"}).out,
            messages("c.vxl", 0));
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
  const ProcessResult o = run({"-o", "t.vxl", "-", "-s", "5"});
  const long after = static_cast<long>(std::time(nullptr));
  long seed = 0;
  ASSERT_EQ(std::sscanf(o.out.c_str(), "Generating to 't.vxl' using seed '%ld'", &seed), 1)
      << o.out;
  EXPECT_GE(seed, before);
  EXPECT_LE(seed, after);
}

TEST_F(ProgramTest, MissingOptionValueExitsTwoWithoutOutput) {
  for (const char* letter : {"s", "o"}) {
    const ProcessResult o = run({"-d", std::string("-") + letter});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, std::string("vxlforge: option -") + letter + " requires a value\n");
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
    expect_write_refused(run({"-s", "3", "-o", c.path}), c.path, c.reason, only_folder);
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
  ProcessOptions options;
  options.unprivileged = true;
  const ProcessResult o = run({"-s", "3", "-o", "ro/m.vxl"}, options);
  chmod(path("ro").c_str(), 0755);  // so that it can be listed and removed
  if (o.status == vxlforge::testing::kCannotDropPrivileges) {
    GTEST_SKIP() << "running as root and cannot run the program unprivileged: " << o.err;
  }
  expect_write_refused(o, "ro/m.vxl", "Permission denied", {"ro"});
  EXPECT_EQ(read_file(path("ro/m.vxl")), "old map");
  EXPECT_EQ(files("ro"), std::set<std::string>{"m.vxl"});
}

TEST_F(ProgramTest, SymbolicLinkStaysAndTheFileItNamesGetsTheMap) {
  ASSERT_EQ(mkdir(path("maps").c_str(), 0755), 0);
  { std::ofstream(path("maps/real.vxl")) << "old map"; }
  ASSERT_EQ(symlink("maps/real.vxl", path("link.vxl").c_str()), 0);
  const ProcessResult o = run({"-s", "1", "-o", "link.vxl"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, messages("link.vxl", 1));
  EXPECT_EQ(digest(read_file(path("maps/real.vxl"))), reference_file_digest(1));
  char target[64] = {};
  ASSERT_GT(readlink(path("link.vxl").c_str(), target, sizeof(target) - 1), 0);
  EXPECT_STREQ(target, "maps/real.vxl");
  EXPECT_EQ(files(), (std::set<std::string>{"link.vxl", "maps"}));
  EXPECT_EQ(files("maps"), std::set<std::string>{"real.vxl"});
}

TEST_F(ProgramTest, PipeReceivesTheWholeMap) {
  const std::string pipe = path("pipe");
  const std::string received = path("received");
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
  const ProcessResult o = run({"-s", "1", "-o", "pipe"});
  // Should the program never have opened the pipe, this lets the reader end.
  const int unblock = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
  if (unblock >= 0) close(unblock);
  int status = 0;
  ASSERT_EQ(waitpid(reader, &status, 0), reader);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, messages("pipe", 1));
  EXPECT_EQ(digest(read_file(received)), reference_file_digest(1));
  struct stat info;
  ASSERT_EQ(lstat(pipe.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_EQ(files(), (std::set<std::string>{"pipe", "received"}));
}

TEST_F(ProgramTest, FailedWriteKeepsTheExistingFileAndLeavesNoTemporary) {
  { std::ofstream(path("m.vxl")) << "old map"; }
  for (const bool named_temporary : {false, true}) {
    SCOPED_TRACE(named_temporary ? "named temporary" : "unnamed temporary");
    ProcessOptions options;
    options.file_size_limit = 4096;
    options.refuse_unnamed_files = named_temporary;
    const ProcessResult o = run({"-s", "1", "-o", "m.vxl"}, options);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "Generating to 'm.vxl' using seed '1'\n");
    EXPECT_EQ(o.err, "vxlforge: cannot write 'm.vxl': File too large\n");
    EXPECT_EQ(read_file(path("m.vxl")), "old map");
    EXPECT_EQ(files(), std::set<std::string>{"m.vxl"});
  }
}

// The map goes to standard output unchanged, and the two lines go to
// standard error instead, whether standard output is a pipe or a file.
TEST_F(ProgramTest, MapOnStandardOutputIsTheFileAndTheMessagesMoveToStandardError) {
  for (const std::string name : {"/dev/stdout", "/proc/self/fd/1"}) {
    SCOPED_TRACE(name);
    const ProcessResult piped = run({"-s", "1", "-o", name});
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(digest(piped.out), reference_file_digest(1));
    EXPECT_EQ(piped.err, messages(name, 1));

    ProcessOptions to_file;
    to_file.stdout_path = path("m.vxl");
    const ProcessResult filed = run({"-s", "1", "-o", name}, to_file);
    EXPECT_EQ(filed.status, 0) << filed.err;
    EXPECT_EQ(digest(read_file(path("m.vxl"))), reference_file_digest(1));
    EXPECT_EQ(filed.err, messages(name, 1));
    EXPECT_EQ(files(), std::set<std::string>{"m.vxl"});
  }
  // "-" is a file name like any other.
  const ProcessResult dash = run({"-s", "1", "-o", "-"});
  EXPECT_EQ(dash.out, messages("-", 1));
  EXPECT_EQ(digest(read_file(path("-"))), reference_file_digest(1));
}

TEST_F(ProgramTest, MessagesThatCannotBeWrittenLeaveTheMapAndTheStatusAlone) {
  ProcessOptions full;
  full.stdout_path = "/dev/full";
  ProcessOptions closed;
  closed.stdout_reader_gone = true;
  for (const ProcessOptions& options : {full, closed}) {
    SCOPED_TRACE(options.stdout_reader_gone ? "closed pipe" : "/dev/full");
    const ProcessResult o = run({"-s", "1", "-o", "m.vxl"}, options);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.signal, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(digest(read_file(path("m.vxl"))), reference_file_digest(1));
    std::remove(path("m.vxl").c_str());
  }
}

// A tmpfs folder is no device: new maps are created there, and an existing
// one is replaced like any other regular file.
class TmpfsProgramTest : public ProgramTest {
 protected:
  void SetUp() override {
    char folder[] = "/dev/shm/vxlforge-program-XXXXXX";
    if (mkdtemp(folder) == nullptr) GTEST_SKIP() << "no /dev/shm here";
    work_ = folder;
  }
};

TEST_F(TmpfsProgramTest, NewAndReplacedMapsAreWrittenWhole) {
  const ProcessResult created = run({"-s", "1", "-o", path("m.vxl")});
  EXPECT_EQ(created.status, 0) << created.err;
  EXPECT_EQ(digest(read_file(path("m.vxl"))), reference_file_digest(1));

  // The replaced file is a new one: the old inode, still reachable through
  // a hard link, keeps the old map; the permission bits carry over.
  ASSERT_EQ(chmod(path("m.vxl").c_str(), 0640), 0);
  ASSERT_EQ(link(path("m.vxl").c_str(), path("old-link.vxl").c_str()), 0);
  struct stat before;
  ASSERT_EQ(stat(path("m.vxl").c_str(), &before), 0);
  const ProcessResult replaced = run({"-s", "42", "-o", path("m.vxl")});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  struct stat after;
  ASSERT_EQ(stat(path("m.vxl").c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(after.st_uid, geteuid());
  EXPECT_EQ(digest(read_file(path("m.vxl"))), reference_file_digest(42));
  EXPECT_EQ(digest(read_file(path("old-link.vxl"))), reference_file_digest(1));
  EXPECT_EQ(files(), (std::set<std::string>{"m.vxl", "old-link.vxl"}));
}

TEST_F(TmpfsProgramTest, TwoWritersAtOnceLeaveOneWholeMap) {
  // Each writer renames a complete file into place, so the last rename
  // wins whole; written in place, their bytes used to mix.
  for (int round = 0; round < 6; ++round) {
    Process one(vxlforge_binary(), {"-s", "1", "-o", path("m.vxl")});
    Process two(vxlforge_binary(), {"-s", "42", "-o", path("m.vxl")});
    EXPECT_EQ(one.wait().status, 0);
    EXPECT_EQ(two.wait().status, 0);
    const std::string result = digest(read_file(path("m.vxl")));
    EXPECT_TRUE(result == reference_file_digest(1) || result == reference_file_digest(42))
        << "round " << round << ": a mixed map";
    EXPECT_EQ(files(), std::set<std::string>{"m.vxl"});
  }
}

// Catches the program while it writes its map to the temporary file, or
// once it is complete but not yet in place, and sends a signal. With
// `named` the file system refuses unnamed files, so the temporary is a
// hidden named file that the program must remove itself.
class InterruptTest : public ProgramTest {
 protected:
  static constexpr int kAttempts = 30;

  // Runs `program args` until one run is caught, stopped, while it has its
  // temporary file, then delivers `sig`. Returns false when no run was.
  bool interrupt_mid_write(const std::string& program, const std::vector<std::string>& args,
                           bool named, int sig, ProcessResult* result,
                           const std::vector<int>& ignored = {}) {
    ProcessOptions options;
    options.working_directory = work_;
    options.refuse_unnamed_files = named;
    options.ignored_signals = ignored;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      Process p(program, args, options);
      bool seen = false;
      const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (!seen && std::chrono::steady_clock::now() < give_up) {
        seen = vxlforge::testing::has_temporary_file(p, work_, named);
        siginfo_t ended = {};
        if (!seen && waitid(P_PID, static_cast<id_t>(p.pid()), &ended,
                            WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid != 0) {
          break;
        }
        if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(50));
      }
      if (!seen || !p.stop()) {
        *result = p.wait();
        if (result->status == vxlforge::testing::kCannotRefuseUnnamedFiles) return true;
        continue;
      }
      if (!vxlforge::testing::has_temporary_file(p, work_, named)) {
        p.resume();  // it finished just before it stopped
        p.wait();
        continue;
      }
      p.send(sig);
      p.resume();
      *result = p.wait();
      return true;
    }
    return false;
  }
};

TEST_F(InterruptTest, SignalsMidWriteLeaveTheOldMapAndNoTemporary) {
  struct Case {
    int sig;
    bool named;
  };
  const Case cases[] = {{SIGINT, false},  {SIGTERM, false}, {SIGHUP, false},
                        {SIGPIPE, false}, {SIGKILL, false}, {SIGINT, true},
                        {SIGTERM, true},  {SIGHUP, true},   {SIGPIPE, true}};
  for (const Case& c : cases) {
    for (const bool at_sync : {false, true}) {
      SCOPED_TRACE(std::string(strsignal(c.sig)) + (c.named ? ", named temporary" : "") +
                   (at_sync ? ", at the sync" : ", while writing"));
      { std::ofstream(path("m.vxl")) << "old map"; }
      const std::vector<std::string> args = {"-s", "1", "-o", "m.vxl"};
      ProcessResult r;
      if (at_sync) {
        ProcessOptions options;
        options.working_directory = work_;
        options.refuse_unnamed_files = c.named;
        const bool caught =
            vxlforge::testing::interrupt_at_fsync(vxlforge_binary(), args, options, c.sig, &r);
        if (r.status == vxlforge::testing::kCannotRefuseUnnamedFiles) {
          GTEST_SKIP() << "cannot filter or trace system calls here: " << r.err;
        }
        if (!caught) {
          ADD_FAILURE() << "no temporary file at the sync; status " << r.status;
          continue;
        }
      } else {
        if (!interrupt_mid_write(vxlforge_binary(), args, c.named, c.sig, &r)) {
          ADD_FAILURE() << "never caught the program while it wrote";
          continue;
        }
        if (r.status == vxlforge::testing::kCannotRefuseUnnamedFiles) {
          GTEST_SKIP() << "cannot make open() refuse unnamed files here: " << r.err;
        }
      }
      EXPECT_EQ(r.signal, c.sig) << "status " << r.status << ", " << r.err;
      EXPECT_EQ(files(), std::set<std::string>{"m.vxl"});
      EXPECT_EQ(read_file(path("m.vxl")), "old map");
    }
  }
}

TEST_F(InterruptTest, IgnoredHangupStaysIgnored) {
  // As under nohup: the signal changes nothing and the map is written.
  ProcessResult r;
  ASSERT_TRUE(interrupt_mid_write(vxlforge_binary(), {"-s", "1", "-o", "m.vxl"}, true, SIGHUP,
                                  &r, {SIGHUP}));
  if (r.status == vxlforge::testing::kCannotRefuseUnnamedFiles) GTEST_SKIP() << r.err;
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(files(), std::set<std::string>{"m.vxl"});
  EXPECT_EQ(digest(read_file(path("m.vxl"))), reference_file_digest(1));
}

// Resource limits: an address-space limit makes memory run out, a huge
// stack limit makes every thread's stack too big to map.
class LimitTest : public ProgramTest {
 protected:
  void SetUp() override {
    if (vxlforge::testing::kBuiltWithSanitizers) {
      GTEST_SKIP() << "the sanitizers' shadow memory does not fit any address-space limit";
    }
    ProgramTest::SetUp();
  }
};

TEST_F(LimitTest, RunningOutOfMemoryIsReportedAndKeepsTheOldMap) {
  constexpr rlim_t kMiB = 1 << 20;
  int out_of_memory = 0;
  bool succeeded = false;
  for (rlim_t limit = 64 * kMiB; limit <= 1024 * kMiB && !succeeded; limit += 4 * kMiB) {
    SCOPED_TRACE("address space " + std::to_string(limit / kMiB) + " MiB");
    ProcessOptions options;
    options.address_space_limit = limit;
    // Below what the program's image needs the kernel cannot even start
    // it; -h shows whether it can.
    if (run({"-h"}, options).status != 0) continue;
    { std::ofstream(path("m.vxl")) << "old map"; }
    const ProcessResult r = run({"-s", "1", "-o", "m.vxl"}, options);
    ASSERT_EQ(r.signal, 0) << r.err;
    EXPECT_EQ(files(), std::set<std::string>{"m.vxl"});
    if (r.status == 0) {
      succeeded = true;
      EXPECT_EQ(digest(read_file(path("m.vxl"))), reference_file_digest(1));
      continue;
    }
    ++out_of_memory;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vxlforge: out of memory; no map written\n");
    EXPECT_EQ(read_file(path("m.vxl")), "old map");
  }
  EXPECT_TRUE(succeeded);
  EXPECT_GT(out_of_memory, 0) << "no limit made memory run out";
}

TEST_F(LimitTest, WithoutWorkerThreadsTheCallingThreadWritesTheSameMap) {
  constexpr rlim_t kGiB = rlim_t{1} << 30;
  ProcessOptions options;
  options.address_space_limit = 2 * kGiB;
  options.stack_limit = 4 * kGiB;  // the size of every new thread's stack
  const ProcessResult r = run({"-s", "1", "-o", "m.vxl"}, options);
  EXPECT_EQ(r.signal, 0) << r.err;
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(digest(read_file(path("m.vxl"))), reference_file_digest(1));
}

}  // namespace
