// Feeds arbitrary command lines to the option parser and the seed
// conversion, the only code that reads what a user types. The input is split
// into words at NUL and line-feed bytes (so words may hold spaces and tabs,
// and runs of separators give empty words). Each word is a heap block of its
// own, exactly as long as the text, so AddressSanitizer catches any read past
// a word; LeakSanitizer catches any text or list left unreleased.
//
// Besides the sanitizers' checks it holds the parser to its word: the list
// is a well-formed growable array ending in its only null entry, the words
// left in argv are original words in their original order, entries past the
// new count are untouched, and a failure for a missing value leaves the
// letter at the end of the last word, where the driver looks for it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver/growable_array.h"
#include "driver/options.h"
#include "driver/seed_text.h"

namespace {

// Enough for any command line worth trying; more only slows the search.
constexpr std::size_t kMaxWords = 256;

char* copy_text(const char* text, std::size_t length) {
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy == nullptr) std::abort();
  if (length > 0) std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

void check(bool holds) {
  if (!holds) std::abort();
}

// 1, 2, 3, 4, then doubling: the capacity after `count` single appends.
std::int32_t capacity_after_appends(std::int32_t count) {
  if (count <= 4) return count;
  std::int32_t capacity = 4;
  while (capacity < count) capacity *= 2;
  return capacity;
}

// The seed conversion on `text`, with properties that hold for any text:
// leading white space is skipped, and a '-' before the digits negates
// modulo 2^32 (INT32_MIN stays itself).
void check_seed(const char* text) {
  const std::int32_t seed = vxlforge::seed_from_text(text);
  const std::size_t length = std::strlen(text);
  std::vector<char> padded(length + 3);
  padded[0] = ' ';
  padded[1] = '\t';
  std::memcpy(padded.data() + 2, text, length + 1);
  check(vxlforge::seed_from_text(padded.data()) == seed);
  if (text[0] >= '0' && text[0] <= '9') {
    std::vector<char> negated(length + 2);
    negated[0] = '-';
    std::memcpy(negated.data() + 1, text, length + 1);
    const std::uint32_t expected = 0u - static_cast<std::uint32_t>(seed);
    check(static_cast<std::uint32_t>(vxlforge::seed_from_text(negated.data())) == expected);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  std::vector<char*> words = {copy_text("vxlforge", 8)};
  std::size_t start = 0;
  for (std::size_t k = 0; k <= size && words.size() <= kMaxWords; ++k) {
    if (k == size || bytes[k] == '\0' || bytes[k] == '\n') {
      words.push_back(copy_text(bytes + start, k - start));
      start = k + 1;
    }
  }

  const int original_count = static_cast<int>(words.size());
  // The vector as main receives it: the words, then a null entry.
  char** argv = static_cast<char**>(std::malloc(sizeof(char*) * (words.size() + 1)));
  if (argv == nullptr) std::abort();
  std::memcpy(argv, words.data(), sizeof(char*) * words.size());
  argv[words.size()] = nullptr;

  int argc = original_count;
  char** options = vxlforge::parse_options(&argc, argv, "so");

  if (options == nullptr) {
    // Memory does not run out here, so the only failure is a value letter
    // ending the last word.
    check(argc == 0);
    const char* last = words.back();
    const std::size_t length = std::strlen(last);
    check(original_count > 1 && last[0] == '-' && length >= 2 &&
          (last[length - 1] == 's' || last[length - 1] == 'o'));
  } else {
    check(argc >= 1 && argc <= original_count);
    check(argv[0] == words[0] && argv[original_count] == nullptr);
    bool after_lone_dash = false;
    int next = 1;  // kept words are original words in their order
    for (int i = 1; i < argc; ++i) {
      while (next < original_count && words[next] != argv[i]) {
        if (std::strcmp(words[next], "-") == 0) after_lone_dash = true;
        ++next;
      }
      check(next < original_count);
      // A word beginning with '-' stays only after a lone dash ended the
      // options.
      check(argv[i][0] != '-' || after_lone_dash);
      ++next;
    }
    for (int i = argc; i < original_count; ++i) check(argv[i] == words[i]);

    void* list = options;
    const std::int32_t count = vxlforge::array_count(list);
    const vxlforge::ArrayHeader* header = vxlforge::array_header(list);
    check(count >= 1 && header->capacity == capacity_after_appends(count));
    check(header->allocator_flag == 0 && header->signature == vxlforge::ARRAY_SIGNATURE);
    for (std::int32_t e = 0; e + 1 < count; ++e) {
      const char* entry = options[e];
      check(entry != nullptr && entry[0] != '\0');
      check_seed(entry + 1);
    }
    check(options[count - 1] == nullptr);
    vxlforge::array_free_all(&list);
    check(list == nullptr);
  }

  for (char* word : words) {
    check_seed(word);
    std::free(word);
  }
  std::free(argv);
  return 0;
}
