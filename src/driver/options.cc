#include "driver/options.h"

#include <cstdlib>
#include <cstring>

#include "driver/growable_array.h"

namespace vxlforge {

namespace {

bool takes_value(char letter, const char* value_letters) {
  for (const char* p = value_letters; *p != '\0'; ++p) {
    if (*p == letter) return true;
  }
  return false;
}

// Appends `entry` to the list. False when the heap refused room for it; the
// entry is then not in the list.
bool append(void** list, char* entry) {
  if (*list != nullptr &&
      array_header(*list)->count + 1 <= array_header(*list)->capacity) {
    array_header(*list)->count += 1;
  } else {
    const int before = array_count(*list);
    array_extend(list, sizeof(char*), 1);
    if (array_count(*list) != before + 1) return false;
  }
  static_cast<char**>(*list)[array_count(*list) - 1] = entry;
  return true;
}

// A heap text of `letter` followed by the `length` characters at `value`.
char* make_entry(char letter, const char* value, std::size_t length) {
  char* text = static_cast<char*>(std::malloc(length + 2));
  if (text == nullptr) return nullptr;
  text[0] = letter;
  if (length > 0) std::memcpy(text + 1, value, length);
  text[length + 1] = '\0';
  return text;
}

}  // namespace

char** parse_options(int* argc, char** argv, const char* value_letters) {
  const int count = *argc;
  void* list = nullptr;
  int i = 1;
  for (int j = 1; j < count; ++j) {
    const char* word = argv[j];
    if (word[0] != '-') {
      argv[i++] = argv[j];
      continue;
    }
    if (word[1] == '\0') {
      for (int rest = j + 1; rest < count; ++rest) argv[i++] = argv[rest];
      break;
    }
    for (const char* c = word + 1; *c != '\0'; ++c) {
      char* entry;
      if (takes_value(*c, value_letters)) {
        const char* value;
        if (c[1] != '\0') {
          value = c + 1;
        } else if (j == count - 1) {
          *argc = 0;
          array_free_all(&list);
          return nullptr;
        } else {
          value = argv[++j];
        }
        entry = make_entry(*c, value, std::strlen(value));
        if (entry == nullptr || !append(&list, entry)) {
          std::free(entry);
          array_free_all(&list);
          return nullptr;
        }
        break;  // the value used up the rest of the word
      }
      entry = make_entry(*c, nullptr, 0);
      if (entry == nullptr || !append(&list, entry)) {
        std::free(entry);
        array_free_all(&list);
        return nullptr;
      }
    }
  }
  if (!append(&list, nullptr)) {
    array_free_all(&list);
    return nullptr;
  }
  *argc = i;
  return static_cast<char**>(list);
}

}  // namespace vxlforge
