#include "vxlinspect/command_line.h"

namespace vxlforge {

namespace {

const OptionSyntax* find_option(const CommandSyntax& syntax, const std::string& name) {
  for (const OptionSyntax& option : syntax.options) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

std::string count_text(std::size_t count) {
  if (count == 0) return "no argument";
  return std::to_string(count) + (count == 1 ? " argument" : " arguments");
}

}  // namespace

std::string ParsedCommand::value(const std::string& option, const std::string& fallback) const {
  const auto it = options.find(option);
  return it == options.end() ? fallback : it->second;
}

bool parse_command(const CommandSyntax& syntax, const std::vector<std::string>& words,
                   ParsedCommand* parsed, std::string* reason) {
  *parsed = ParsedCommand();
  bool options_ended = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (options_ended || word == "-" || word.empty() || word[0] != '-') {
      parsed->arguments.push_back(word);
      continue;
    }
    if (word == "--") {
      options_ended = true;
      continue;
    }
    if (word == "--help" || word == "-h") {
      parsed->help = true;
      continue;
    }
    const std::string::size_type equals = word.find('=');
    const std::string name = word.substr(0, equals);
    const OptionSyntax* option = find_option(syntax, name);
    if (option == nullptr) {
      *reason = syntax.name + ": unknown option '" + name + "'";
      return false;
    }
    std::string value;
    if (equals != std::string::npos) {
      if (!option->takes_value) {
        *reason = syntax.name + ": " + name + " takes no value";
        return false;
      }
      value = word.substr(equals + 1);
    } else if (option->takes_value) {
      if (i + 1 == words.size()) {
        *reason = syntax.name + ": " + name + " needs a value";
        return false;
      }
      value = words[++i];
    }
    parsed->options[name] = value;
  }
  if (parsed->help) return true;
  const std::size_t count = parsed->arguments.size();
  const bool too_few = count < static_cast<std::size_t>(syntax.min_arguments);
  const bool too_many = syntax.max_arguments != kAnyNumber &&
                        count > static_cast<std::size_t>(syntax.max_arguments);
  if (too_few || too_many) {
    *reason = syntax.name + " takes " + syntax.arguments + "; " + count_text(count) + " given";
    return false;
  }
  return true;
}

}  // namespace vxlforge
