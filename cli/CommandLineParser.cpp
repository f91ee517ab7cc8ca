#include "cli/CommandLineParser.h"

#include "cli/CliTables.h"

namespace kaldo::cli {

void ParseInto(const std::vector<std::string>& arguments, ParsedCommandLine& parsed) {
  CliOptions& options = parsed.Options;
  std::vector<std::string> words;
  std::vector<std::string> given;  // the options, in the order given
  bool optionsEnd = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (optionsEnd || a.size() < 2 || a[0] != '-') {
      words.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnd = true;
      continue;
    }
    std::string name = a;
    std::string value;
    bool hasValue = false;
    if (std::size_t eq = a.find('='); eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      hasValue = true;
    }
    if (name == "-h") name = "--help";
    const CliOption* o = FindOption(name);
    if (!o) throw UsageError("unknown option '" + name + "'");
    if (o->ValueName && !hasValue) {
      if (i + 1 == arguments.size()) throw UsageError("option '" + name + "' needs a value");
      value = arguments[++i];
    } else if (!o->ValueName && hasValue) {
      throw UsageError("option '" + name + "' takes no value");
    }
    o->Apply(options, value);
    given.push_back(name);
  }
  if (options.Help || options.Version) return;
  if (words.empty()) throw UsageError("no command given");
  const CliCommand* c = FindCommand(words[0]);
  if (!c) throw UsageError("unknown command '" + words[0] + "'");
  parsed.Command = c;
  words.erase(words.begin());
  for (const std::string& name : given)
    if (!OptionApplies(name, c->Name))
      throw UsageError("option '" + name + "' does not apply to the command '" + c->Name + "'");
  if (static_cast<int>(words.size()) != c->ArgumentCount)
    throw UsageError("usage: kaldo-cli [OPTIONS] " + CommandLine(*c));
  parsed.Arguments = std::move(words);
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
  ParseInto(arguments, parsed);
  return parsed;
}

}  // namespace kaldo::cli
