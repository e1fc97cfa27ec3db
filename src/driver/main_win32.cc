// The Windows entry point. Windows hands a program its command line as
// UTF-16; the program works in UTF-8 throughout, and its file output turns
// a path back into the system's wide form, so any file name gets through
// whatever the console's code page.

#include <windows.h>

#include <string>
#include <vector>

#include "driver/run.h"

namespace {

std::string to_utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.pop_back();  // the terminator, which std::string keeps itself
  return out;
}

}  // namespace

// Nothing escapes, as on POSIX: see run_catching.
int wmain(int argc, wchar_t** argv) {
  return vxlforge::run_catching([&] {
    std::vector<std::string> words;
    std::vector<char*> pointers;
    for (int i = 0; i < argc; ++i) words.push_back(to_utf8(argv[i]));
    for (std::string& word : words) pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return vxlforge::run_program(argc, pointers.data());
  });
}
