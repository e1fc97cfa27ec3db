// The Windows side of the safe replace, run on Windows or under wine.

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/file_output.h"
#include "base/signal_cleanup.h"

namespace vxlforge {
namespace {

namespace fs = std::filesystem;

// A fresh folder for each test, removed afterwards.
class FileOutputWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vxlforge-test-" + std::to_string(GetCurrentProcessId()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // The path of `utf8_name` in the test's folder, in UTF-8 as the program
  // passes it.
  std::string path(const std::string& utf8_name) const {
    const std::u8string folder = folder_.u8string();
    return std::string(folder.begin(), folder.end()) + "\\" + utf8_name;
  }

  int partial_files() const {
    int count = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_)) {
      if (entry.path().filename().wstring().rfind(L".vxlforge-partial-", 0) == 0) ++count;
    }
    return count;
  }

  fs::path folder_;
};

std::string contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

TEST_F(FileOutputWin32, ReplacesTheFileOnlyOnceEveryPieceIsWritten) {
  put(folder_ / "map.vxl", "old map");
  {
    ReplacingFile file;
    ASSERT_TRUE(file.open(path("map.vxl").c_str()));
    ASSERT_TRUE(file.append("new ", 4));
    ASSERT_TRUE(file.append("map", 3));
    EXPECT_EQ(contents(folder_ / "map.vxl"), "old map");
    EXPECT_EQ(partial_files(), 1);
    std::string reason;
    ASSERT_TRUE(file.finish(&reason)) << reason;
  }
  EXPECT_EQ(contents(folder_ / "map.vxl"), "new map");
  EXPECT_EQ(partial_files(), 0);
}

TEST_F(FileOutputWin32, AnUnfinishedFileLeavesTheOldOneAndNoTemporary) {
  put(folder_ / "map.vxl", "old map");
  {
    ReplacingFile file;
    ASSERT_TRUE(file.open(path("map.vxl").c_str()));
    ASSERT_TRUE(file.append("new", 3));
  }
  EXPECT_EQ(contents(folder_ / "map.vxl"), "old map");
  EXPECT_EQ(partial_files(), 0);
}

TEST_F(FileOutputWin32, FailuresGiveTheReasonAndLeaveNothing) {
  std::string reason;
  EXPECT_FALSE(write_file_replacing(path("missing/map.vxl").c_str(), "x", 1, &reason));
  EXPECT_FALSE(reason.empty());
  EXPECT_FALSE(fs::exists(folder_ / "missing"));

  fs::create_directory(folder_ / "a folder");
  reason.clear();
  EXPECT_FALSE(write_file_replacing(path("a folder").c_str(), "x", 1, &reason));
  EXPECT_EQ(reason, "Is a directory");
  EXPECT_TRUE(fs::is_directory(folder_ / "a folder"));

  reason.clear();
  EXPECT_FALSE(write_file_replacing("", "x", 1, &reason));
  EXPECT_FALSE(reason.empty());

  // Not UTF-8: refused rather than turned into some other name.
  reason.clear();
  EXPECT_FALSE(write_file_replacing(path("bad\xff.vxl").c_str(), "x", 1, &reason));
  EXPECT_FALSE(reason.empty());
  EXPECT_EQ(partial_files(), 0);
}

TEST_F(FileOutputWin32, ARefusedReadOnlyFileStaysAsItWas) {
  put(folder_ / "kept.vxl", "old map");
  const std::wstring wide = (folder_ / "kept.vxl").wstring();
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
  std::string reason;
  EXPECT_FALSE(write_file_replacing(path("kept.vxl").c_str(), "new", 3, &reason));
  EXPECT_FALSE(reason.empty());
  EXPECT_EQ(contents(folder_ / "kept.vxl"), "old map");
  EXPECT_EQ(partial_files(), 0);
  SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileOutputWin32, NamesBeyondTheCodePageReachTheSystem) {
  const std::u8string utf8 = u8"Zo\u00eb-\u043a\u0430\u0440\u0442\u0430.vxl";
  const std::wstring wide = L"Zo\u00eb-\u043a\u0430\u0440\u0442\u0430.vxl";
  std::string reason;
  ASSERT_TRUE(write_file_replacing(path(std::string(utf8.begin(), utf8.end())).c_str(), "map", 3,
                                   &reason))
      << reason;
  EXPECT_EQ(contents(folder_ / wide), "map");
}

TEST_F(FileOutputWin32, DevicesAreWrittenInPlace) {
  std::string reason;
  EXPECT_TRUE(write_file_replacing("NUL", "map", 3, &reason)) << reason;
}

// Runs this test program again with only the tests matching `filter`,
// with `variable` set to `value` in its environment; the child's exit
// status, or -1 when it could not run or did not end within a minute.
long run_child(const wchar_t* filter, const wchar_t* variable, const std::wstring& value) {
  wchar_t self[MAX_PATH];
  if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) return -1;
  std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=" + filter;
  if (!SetEnvironmentVariableW(variable, value.c_str())) return -1;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION child{};
  const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                      nullptr, nullptr, &startup, &child);
  SetEnvironmentVariableW(variable, nullptr);
  if (!started) return -1;
  DWORD status = 0;
  const bool ended = WaitForSingleObject(child.hProcess, 60000) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(child.hProcess, &status);
  if (!ended) TerminateProcess(child.hProcess, 1);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return ended ? static_cast<long>(status) : -1;
}

// A console of the calling process's own, so that a Ctrl-C it presses
// reaches only it, and with Ctrl-C not ignored.
bool own_console() {
  FreeConsole();
  if (!AllocConsole()) return false;
  SetConsoleCtrlHandler(nullptr, FALSE);
  return true;
}

// Run as a child process by the test below: starts a replacement, then
// presses Ctrl-C on its own console. Returning at all is the failure.
TEST(FileOutputWin32Child, PressesCtrlCWhileWriting) {
  const char* target = std::getenv("VXLFORGE_CTRL_C_TARGET");
  if (target == nullptr) GTEST_SKIP() << "run by CtrlCRemovesTheTemporaryFile";
  ASSERT_TRUE(own_console());
  ReplacingFile file;
  ASSERT_TRUE(file.open(target));
  ASSERT_TRUE(file.append("new map", 7));
  ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  Sleep(20000);
  FAIL() << "Ctrl-C did not end the process";
}

TEST_F(FileOutputWin32, CtrlCRemovesTheTemporaryFile) {
  put(folder_ / "map.vxl", "old map");
  EXPECT_EQ(run_child(L"FileOutputWin32Child.PressesCtrlCWhileWriting", L"VXLFORGE_CTRL_C_TARGET",
                      (folder_ / "map.vxl").wstring()),
            static_cast<long>(STATUS_CONTROL_C_EXIT));
  EXPECT_EQ(contents(folder_ / "map.vxl"), "old map");
  EXPECT_EQ(partial_files(), 0);
}

// Run as a child by the test below: records a file for removal, presses
// Ctrl-C while holding, and leaves a mark once the held step is over.
TEST(FileOutputWin32Child, PressesCtrlCWhileHolding) {
  const char* folder = std::getenv("VXLFORGE_HELD_FOLDER");
  if (folder == nullptr) GTEST_SKIP() << "run by CtrlCWaitsForTheHeldStep";
  ASSERT_TRUE(own_console());
  const std::string recorded = std::string(folder) + "\\recorded";
  const std::string forgotten = std::string(folder) + "\\forgotten";
  put(fs::u8path(recorded), "x");
  put(fs::u8path(forgotten), "x");
  {
    HeldSignals held;
    ASSERT_GE(remove_on_signal(recorded.c_str()), 0);
    forget_on_signal(remove_on_signal(forgotten.c_str()));
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    Sleep(500);
    put(fs::u8path(std::string(folder) + "\\held step done"), "x");
  }
  Sleep(20000);
  FAIL() << "Ctrl-C did not end the process";
}

TEST_F(FileOutputWin32, CtrlCWaitsForTheHeldStepThenRemovesOnlyRecordedFiles) {
  EXPECT_EQ(run_child(L"FileOutputWin32Child.PressesCtrlCWhileHolding", L"VXLFORGE_HELD_FOLDER",
                      folder_.wstring()),
            static_cast<long>(STATUS_CONTROL_C_EXIT));
  EXPECT_TRUE(fs::exists(folder_ / "held step done"));
  EXPECT_FALSE(fs::exists(folder_ / "recorded"));
  EXPECT_TRUE(fs::exists(folder_ / "forgotten"));
}

TEST_F(FileOutputWin32, TellsWhetherAPathNamesAnOpenFile) {
  put(folder_ / "open.vxl", "a");
  put(folder_ / "other.vxl", "b");
  const int fd = _wopen((folder_ / "open.vxl").wstring().c_str(), _O_RDONLY | _O_BINARY);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(names_open_file(path("open.vxl").c_str(), fd));
  // Another spelling of the same file is still the same file.
  std::string other_spelling = path("open.vxl");
  for (char& c : other_spelling) c = c == '\\' ? '/' : c;
  EXPECT_TRUE(names_open_file(other_spelling.c_str(), fd));
  EXPECT_FALSE(names_open_file(path("other.vxl").c_str(), fd));
  EXPECT_FALSE(names_open_file(path("missing.vxl").c_str(), fd));
  EXPECT_FALSE(names_open_file("NUL", fd));
  _close(fd);
  // A handle opened for writing only, as a shell's redirection is.
  const int writer = _wopen((folder_ / "open.vxl").wstring().c_str(), _O_WRONLY | _O_APPEND | _O_BINARY);
  ASSERT_GE(writer, 0);
  EXPECT_TRUE(names_open_file(path("open.vxl").c_str(), writer));
  _close(writer);
  const int nul = _open("NUL", _O_WRONLY);
  ASSERT_GE(nul, 0);
  EXPECT_FALSE(names_open_file("NUL", nul));  // a device has no file index
  _close(nul);
}

}  // namespace
}  // namespace vxlforge
