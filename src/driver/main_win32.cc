// The Windows entry point. Windows hands a program its command line as
// UTF-16; the program works in UTF-8 throughout, and its file output turns
// a path back into the system's wide form, so any file name gets through
// whatever the console's code page.

#include <windows.h>

#include <cstdio>
#include <exception>
#include <new>
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

// Nothing escapes, as in main.cc: running out of memory (or a thread that
// cannot start) ends the run with one line and status 1, after the
// unwinding has removed any temporary file.
int wmain(int argc, wchar_t** argv) {
  try {
    std::vector<std::string> words;
    std::vector<char*> pointers;
    for (int i = 0; i < argc; ++i) words.push_back(to_utf8(argv[i]));
    for (std::string& word : words) pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return vxlforge::run_program(argc, pointers.data());
  } catch (const std::bad_alloc&) {
    std::fputs("vxlforge: out of memory; no map written\n", stderr);
  } catch (const std::exception& e) {  // std::system_error among them
    std::fprintf(stderr, "vxlforge: %s; no map written\n", e.what());
  } catch (...) {
    std::fputs("vxlforge: internal error; no map written\n", stderr);
  }
  return 1;
}
