#include "CommandLine.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "Json.h"

namespace nv::cli {

std::string UsageText() {
  return "usage: norvane render TEMPLATE.json [--data DATA.json] [--options OPTIONS.json]\n"
         "                      [--output FILE] [--progress]\n"
         "       norvane eval FORMULA [--data DATA.json] [--options OPTIONS.json]\n"
         "       norvane barcode TYPE CONTENT\n"
         "       norvane check TEMPLATE.json [--data DATA.json] [--json]\n"
         "       norvane --help | --version\n"
         "\n"
         "render   executes a template against runtime data and writes the rendered document as JSON\n"
         "eval     evaluates one formula and prints {\"valor\", \"lError\", \"cError\"}\n"
         "barcode  prints the barcode result of CONTENT encoded as TYPE (EAN13, EAN8, CODE128,\n"
         "         GS1-128, QR, DATAMATRIX); exit code 1 when it is an error result\n"
         "check    reports what a run would drop or get wrong in a template, without running it:\n"
         "         unknown object types and keys, formulas that cannot be analysed, variables\n"
         "         neither the data (with --data) nor the template defines, label layouts that\n"
         "         cannot hold one label, objects outside the paper; --json prints them as JSON;\n"
         "         exit code 1 when it finds any\n"
         "\n"
         "A file argument may be - for standard input (one at most); --output - is standard output.\n";
}

namespace {

size_t PositionalCount(const std::string& command) {
  if (command == "render" || command == "eval" || command == "check") return 1;
  if (command == "barcode") return 2;
  return 0;
}

// Options that take a value, and which commands accept them.
bool TakesOption(const std::string& command, const std::string& option) {
  if (command == "render") return option == "--data" || option == "--options" || option == "--output";
  if (command == "eval") return option == "--data" || option == "--options";
  if (command == "check") return option == "--data";
  return false;
}

}  // namespace

std::optional<Invocation> ParseArguments(const std::vector<std::string>& args, std::string& error) {
  if (args.empty()) {
    error = "missing command";
    return std::nullopt;
  }
  Invocation inv;
  const std::string& first = args[0];
  if (first == "--help" || first == "-h" || first == "help") {
    inv.command = "help";
    return inv;
  }
  if (first == "--version") {
    inv.command = "version";
    return inv;
  }
  if (PositionalCount(first) == 0) {
    error = "unknown command '" + first + "'";
    return std::nullopt;
  }
  inv.command = first;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--progress" && inv.command == "render") {
      inv.progress = true;
    } else if (arg == "--json" && inv.command == "check") {
      inv.json = true;
    } else if (TakesOption(inv.command, arg)) {
      if (i + 1 >= args.size()) {
        error = "option " + arg + " needs a value";
        return std::nullopt;
      }
      std::string& target = arg == "--data" ? inv.dataPath : arg == "--options" ? inv.optionsPath : inv.outputPath;
      target = args[++i];
      if (target.empty()) {
        error = "option " + arg + " needs a value";
        return std::nullopt;
      }
    } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      error = "unknown option '" + arg + "' for " + inv.command;
      return std::nullopt;
    } else {
      inv.positional.push_back(arg);
    }
  }
  if (inv.positional.size() != PositionalCount(inv.command)) {
    error = inv.command + " takes " + std::to_string(PositionalCount(inv.command)) + " argument" +
            (PositionalCount(inv.command) == 1 ? "" : "s") + ", got " + std::to_string(inv.positional.size());
    return std::nullopt;
  }
  int stdinUses = 0;
  if ((inv.command == "render" || inv.command == "check") && inv.positional[0] == "-") ++stdinUses;
  if (inv.dataPath == "-") ++stdinUses;
  if (inv.optionsPath == "-") ++stdinUses;
  if (stdinUses > 1) {
    error = "standard input (-) can be used for one file only";
    return std::nullopt;
  }
  return inv;
}

std::optional<Value> ReadJsonInput(const std::string& path, std::string& error) {
  std::string name = path == "-" ? "standard input" : path;
  std::string text;
  if (path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
      error = name + ": " + (errno == ENOENT ? std::string("no such file") : std::strerror(errno));
      return std::nullopt;
    }
    if (S_ISDIR(info.st_mode)) {
      error = name + ": is a directory";
      return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      error = name + ": cannot be read (" + std::strerror(errno) + ")";
      return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
      error = name + ": cannot be read";
      return std::nullopt;
    }
    text = content.str();
  }
  bool ok = false;
  std::string parseError;
  Value value = DecodeJson(text, ok, &parseError);
  if (!ok) {
    error = name + ": not valid JSON (" + parseError + ")";
    return std::nullopt;
  }
  if (!value.IsHash()) {
    error = name + ": not a JSON object";
    return std::nullopt;
  }
  return value;
}

}  // namespace nv::cli
