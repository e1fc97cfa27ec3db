#ifndef VXLFORGE_TOOLS_VXLINSPECT_COMMAND_LINE_H_
#define VXLFORGE_TOOLS_VXLINSPECT_COMMAND_LINE_H_

#include <map>
#include <string>
#include <vector>

namespace vxlforge {

// What one vxlinspect command takes after its name: a number of arguments
// and some options, each with or without a value. Options may stand
// anywhere among the arguments, as "--name VALUE" or "--name=VALUE"; a
// word "--" ends the options, and a lone "-" is an argument (standard input
// or output).
struct OptionSyntax {
  std::string name;  // with its dashes: "--scale"
  bool takes_value = false;
};

constexpr int kAnyNumber = -1;

struct CommandSyntax {
  std::string name;        // "png"
  std::string arguments;   // for messages and the usage: "MAP OUT"
  std::string options_usage;  // for the usage: "[--scale N]"; may be empty
  int min_arguments = 0;
  int max_arguments = 0;   // or kAnyNumber
  std::vector<OptionSyntax> options;
};

struct ParsedCommand {
  std::vector<std::string> arguments;
  std::map<std::string, std::string> options;  // given ones; "" when valueless
  bool help = false;                           // --help or -h was among them

  bool has(const std::string& option) const { return options.count(option) != 0; }
  // The option's value, or `fallback` when it was not given.
  std::string value(const std::string& option, const std::string& fallback) const;
};

// Parses the words after the command's name. A later option overrides an
// earlier one. On wrong usage returns false with what is wrong in one line,
// for example "png takes MAP OUT; 3 arguments given" or "png: unknown
// option '--size'".
bool parse_command(const CommandSyntax& syntax, const std::vector<std::string>& words,
                   ParsedCommand* parsed, std::string* reason);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_COMMAND_LINE_H_
