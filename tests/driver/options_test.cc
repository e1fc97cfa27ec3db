#include "driver/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/growable_array.h"

namespace vxlforge {
namespace {

struct Parsed {
  bool failed = false;
  int argc = 0;
  std::vector<std::string> entries;  // letter followed by value
  std::vector<std::string> kept;     // argv[1 .. argc - 1]
  int capacity = 0;
};

// Runs parse_options over "prog" followed by `words`, with the driver's
// value letters, and copies out what it produced before freeing the list.
Parsed parse(const std::vector<std::string>& words) {
  std::vector<std::string> storage = {"prog"};
  storage.insert(storage.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  Parsed result;
  result.argc = static_cast<int>(argv.size());
  char** list = parse_options(&result.argc, argv.data(), "so");
  if (list == nullptr) {
    result.failed = true;
    return result;
  }
  const int count = array_count(list);
  for (int i = 0; i < count - 1; ++i) {
    EXPECT_NE(list[i], nullptr);
    result.entries.push_back(list[i]);
  }
  EXPECT_EQ(list[count - 1], nullptr) << "the list must end with a null entry";
  EXPECT_EQ(std::string(argv[0]), "prog");
  for (int i = 1; i < result.argc; ++i) result.kept.push_back(argv[i]);
  result.capacity = array_capacity(list);
  void* handle = list;
  array_free_all(&handle);
  EXPECT_EQ(handle, nullptr);
  return result;
}

using Words = std::vector<std::string>;

TEST(ParseOptionsTest, OnlyTheProgramNameGivesJustTheNullEntry) {
  const Parsed p = parse({});
  ASSERT_FALSE(p.failed);
  EXPECT_TRUE(p.entries.empty());
  EXPECT_EQ(p.argc, 1);
}

TEST(ParseOptionsTest, SeparatesOptionsFromWordsAndStopsAtLoneDash) {
  const Parsed p = parse({"-ds5", "out", "-o", "x.vxl", "-", "-h"});
  ASSERT_FALSE(p.failed);
  EXPECT_EQ(p.entries, (Words{"d", "s5", "ox.vxl"}));
  EXPECT_EQ(p.kept, (Words{"out", "-h"}));
  EXPECT_EQ(p.argc, 3);
}

TEST(ParseOptionsTest, ValueIsAttachedOrTheWholeNextWord) {
  EXPECT_EQ(parse({"-s123"}).entries, Words{"s123"});
  EXPECT_EQ(parse({"-s", "123"}).entries, Words{"s123"});
  EXPECT_EQ(parse({"-s", "-5"}).entries, Words{"s-5"});
  EXPECT_EQ(parse({"-o", "-"}).entries, Words{"o-"});
  EXPECT_EQ(parse({"-o", "-", "-d"}).entries, (Words{"o-", "d"}));
  EXPECT_EQ(parse({"-o", ""}).entries, Words{"o"});
  EXPECT_EQ(parse({"-o", "-d"}).entries, Words{"o-d"});
}

TEST(ParseOptionsTest, ValueUsesUpTheRestOfTheWord) {
  EXPECT_EQ(parse({"-sd"}).entries, Words{"sd"});
  const Parsed p = parse({"-ss", "5"});
  EXPECT_EQ(p.entries, Words{"ss"});
  EXPECT_EQ(p.kept, Words{"5"});
  EXPECT_EQ(parse({"-dd"}).entries, (Words{"d", "d"}));
  EXPECT_EQ(parse({"-dsx"}).entries, (Words{"d", "sx"}));
  EXPECT_EQ(parse({"-ds", "9"}).entries, (Words{"d", "s9"}));
}

TEST(ParseOptionsTest, LettersAreCaseSensitiveAndUnknownLettersKept) {
  const Parsed p = parse({"-S", "7", "-x?"});
  EXPECT_EQ(p.entries, (Words{"S", "x", "?"}));
  EXPECT_EQ(p.kept, Words{"7"});
}

TEST(ParseOptionsTest, DoubleDashIsTheLetterDashAndOptionsGoOn) {
  const Parsed p = parse({"--", "-d", "word"});
  EXPECT_EQ(p.entries, (Words{"-", "d"}));
  EXPECT_EQ(p.kept, Words{"word"});
}

TEST(ParseOptionsTest, EmptyWordsAndBareWordsStayInOrder) {
  const Parsed p = parse({"", "a", "-d", "b"});
  EXPECT_EQ(p.entries, Words{"d"});
  EXPECT_EQ(p.kept, (Words{"", "a", "b"}));
  EXPECT_EQ(p.argc, 4);
}

TEST(ParseOptionsTest, ValueLetterEndingTheLastWordFails) {
  for (const Words& words : {Words{"-s"}, Words{"-o"}, Words{"-d", "-ds"},
                             Words{"a", "-o"}}) {
    const Parsed p = parse(words);
    EXPECT_TRUE(p.failed) << words.back();
    EXPECT_EQ(p.argc, 0) << words.back();
  }
}

TEST(ParseOptionsTest, NineEntriesGrowTheListThroughDoublingCapacities) {
  EXPECT_EQ(parse({"-ddd"}).capacity, 4);
  EXPECT_EQ(parse({"-dddd"}).capacity, 8);
  const Parsed p = parse({"-ddddddddd"});
  EXPECT_EQ(p.entries.size(), 9u);
  EXPECT_EQ(p.capacity, 16);
}

TEST(GrowableArrayTest, AppendingOneAtATimeGivesCapacities1234Then8And16) {
  void* handle = nullptr;
  EXPECT_EQ(array_count(handle), 0);
  EXPECT_EQ(array_capacity(handle), 0);
  std::vector<int> capacities;
  for (int i = 0; i < 10; ++i) {
    array_extend(&handle, sizeof(int), 1);
    static_cast<int*>(handle)[i] = i * 7;
    capacities.push_back(array_capacity(handle));
  }
  EXPECT_EQ(capacities, (std::vector<int>{1, 2, 3, 4, 8, 8, 8, 8, 16, 16}));
  EXPECT_EQ(array_count(handle), 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(static_cast<int*>(handle)[i], i * 7);
  const ArrayHeader* header = array_header(handle);
  EXPECT_EQ(header->allocator_flag, 0);
  EXPECT_EQ(header->signature, 0x51bada7bu);
  array_free(&handle);
  EXPECT_EQ(handle, nullptr);
  array_free(&handle);  // freeing a null handle is harmless
}

TEST(GrowableArrayTest, GrowAndResizeFollowTheirCountAndCapacityRules) {
  void* handle = nullptr;
  array_grow(&handle, 8, 5, 9);  // a count above capacity is cut back
  EXPECT_EQ(array_capacity(handle), 5);
  EXPECT_EQ(array_count(handle), 5);
  array_resize(&handle, 8, 2);  // shrinking the count keeps the capacity
  EXPECT_EQ(array_count(handle), 2);
  EXPECT_EQ(array_capacity(handle), 5);
  array_resize(&handle, 8, 6);  // from 4 on, growth at least doubles
  EXPECT_EQ(array_capacity(handle), 10);
  array_grow(&handle, 8, 25, 25);  // unless more is wanted
  EXPECT_EQ(array_capacity(handle), 25);
  array_free(&handle);

  array_grow(&handle, 8, 2, 0);
  array_grow(&handle, 8, 3, 1);  // below 4 growth is exact
  EXPECT_EQ(array_capacity(handle), 3);
  EXPECT_EQ(array_count(handle), 1);
  array_free(&handle);
}

}  // namespace
}  // namespace vxlforge
