// Runs the vxlforge program as a process, in a fresh folder, and checks what
// it prints, its exit status and the files it leaves.

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
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
  // with EFBIG, a write failure that even root cannot get around.
  Outcome run(const std::vector<std::string>& args,
              const std::string& name = "vxlforge",
              rlim_t file_size_limit = 0) {
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

  std::set<std::string> files() const {
    std::set<std::string> names;
    DIR* dir = opendir(work_.c_str());
    while (dirent* e = readdir(dir)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    closedir(dir);
    return names;
  }

  std::string path(const std::string& name) const { return work_ + "/" + name; }

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
  const Outcome missing = run({"-s", "3", "-o", "no-such-folder/m.vxl"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "Generating to 'no-such-folder/m.vxl' using seed '3'\n");
  EXPECT_EQ(missing.err,
            "vxlforge: cannot write 'no-such-folder/m.vxl': "
            "No such file or directory\n");

  ASSERT_EQ(mkdir(path("folder").c_str(), 0755), 0);
  const Outcome folder = run({"-o", "folder"});
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.err, "vxlforge: cannot write 'folder': Is a directory\n");

  const Outcome full = run({"-o", "/dev/full"});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.out.find("Finished"), std::string::npos);
  EXPECT_EQ(full.err,
            "vxlforge: cannot write '/dev/full': No space left on device\n");

  const Outcome empty = run({"-o", ""});
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err, "vxlforge: cannot write '': No such file or directory\n");
  EXPECT_EQ(files(), std::set<std::string>{"folder"});
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
