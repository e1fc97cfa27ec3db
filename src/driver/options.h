#ifndef VXLFORGE_DRIVER_OPTIONS_H_
#define VXLFORGE_DRIVER_OPTIONS_H_

namespace vxlforge {

// Takes the options out of the argument vector. Returns a growable array
// (see growable_array.h) of heap texts, one per option letter in
// command-line order, then a null entry; each text is the letter followed
// by its value for letters listed in `value_letters` (case-sensitive), or
// the letter alone. A value is the rest of the word (-s12) or the whole next
// word (-s 12), even when that word begins with '-'. Letters without a value
// can share a word (-dh). A lone "-" ends the options.
//
// On success argv[1 .. *argc - 1] are the words that were not options, in
// order, and *argc is one more than their number; entries from *argc on are
// left as they were. Release the list with array_free_all.
//
// Returns null when a value-taking letter ends the last word (*argc is then
// set to 0) or when memory runs out (*argc is left as it was).
char** parse_options(int* argc, char** argv, const char* value_letters);

}  // namespace vxlforge

#endif  // VXLFORGE_DRIVER_OPTIONS_H_
