#include "CommandLine.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "Json.h"
#include "PageSelection.h"

namespace nv::cli {

std::string UsageText() {
  return "usage: norvane render TEMPLATE.json [--data DATA.json] [--options OPTIONS.json]\n"
         "                      [--format json|pdf|svg|png] [--output FILE] [--pages 1,3-5] [--dpi N]\n"
         "                      [--fonts DIR]... [--report FILE] [--strict] [--progress]\n"
         "       norvane export RENDERED.json --format pdf|svg|png [--output FILE] [--pages 1,3-5]\n"
         "                      [--dpi N] [--fonts DIR]... [--report FILE] [--strict] [--progress]\n"
         "       norvane eval FORMULA [--data DATA.json] [--options OPTIONS.json]\n"
         "       norvane barcode TYPE CONTENT\n"
         "       norvane check TEMPLATE.json [--data DATA.json] [--json]\n"
         "       norvane --help | --version\n"
         "\n"
         "render   executes a template against runtime data and writes the rendered document as JSON\n"
         "         (or draws it as PDF, SVG or PNG: --format, else the --output extension)\n"
         "export   draws a saved rendered document as PDF, SVG or PNG\n"
         "eval     evaluates one formula and prints {\"valor\", \"lError\", \"cError\"}\n"
         "barcode  prints the barcode result of CONTENT encoded as TYPE (EAN13, EAN8, CODE128,\n"
         "         GS1-128, QR, DATAMATRIX); exit code 1 when it is an error result\n"
         "check    reports what a run would drop or get wrong in a template, without running it:\n"
         "         unknown object types and keys, formulas that cannot be analysed, variables\n"
         "         neither the data (with --data) nor the template defines, label layouts that\n"
         "         cannot hold one label, objects outside the paper; --json prints them as JSON;\n"
         "         exit code 1 when it finds any\n"
         "\n"
         "A file argument may be - for standard input (one at most); --output - is standard output.\n"
         "SVG and PNG write a file per page: %d or %04d in the name takes the page number, else -0001\n"
         "goes before the extension. --dpi is the PNG resolution (default 300) or the printer grid\n"
         "barcodes snap to in PDF and SVG. --report writes warnings, discards, timing and export\n"
         "warnings as JSON; --strict exits 3 when content was lost. SOURCE_DATE_EPOCH sets the PDF date.\n";
}

namespace {

size_t PositionalCount(const std::string& command) {
  if (command == "render" || command == "eval" || command == "check" || command == "export") return 1;
  if (command == "barcode") return 2;
  return 0;
}

// Output options of the commands that write a rendered document.
bool IsOutputOption(const std::string& command, const std::string& option) {
  if (command != "render" && command != "export") return false;
  return option == "--format" || option == "--output" || option == "--pages" || option == "--dpi" ||
         option == "--fonts" || option == "--report";
}

// Stores the value of an output option; false with the reason in error for a bad value.
bool StoreOutputOption(Invocation& inv, const std::string& option, const std::string& value, std::string& error) {
  if (option == "--format") {
    bool known = value == "pdf" || value == "svg" || value == "png" || (value == "json" && inv.command == "render");
    if (!known) {
      error = "--format: '" + value + "' is not " + (inv.command == "render" ? "json, pdf, svg or png" : "pdf, svg or png");
      return false;
    }
    inv.format = value;
  } else if (option == "--output") {
    inv.outputPath = value;
  } else if (option == "--pages") {
    if (!PageSelection::Parse(value, error)) return false;
    inv.pages = value;
  } else if (option == "--dpi") {
    char* end = nullptr;
    double dpi = std::strtod(value.c_str(), &end);
    if (*end != '\0' || !(dpi >= 10 && dpi <= 4800)) {
      error = "--dpi: '" + value + "' is not a resolution from 10 to 4800";
      return false;
    }
    inv.dpi = dpi;
  } else if (option == "--fonts") {
    inv.fontDirs.push_back(value);
  } else {
    inv.reportPath = value;
  }
  return true;
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
    if (arg == "--progress" && (inv.command == "render" || inv.command == "export")) {
      inv.progress = true;
    } else if (arg == "--json" && inv.command == "check") {
      inv.json = true;
    } else if (arg == "--strict" && (inv.command == "render" || inv.command == "export")) {
      inv.strict = true;
    } else if (IsOutputOption(inv.command, arg)) {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = "option " + arg + " needs a value";
        return std::nullopt;
      }
      if (!StoreOutputOption(inv, arg, args[++i], error)) return std::nullopt;
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
  if ((inv.command == "render" || inv.command == "check" || inv.command == "export") && inv.positional[0] == "-") {
    ++stdinUses;
  }
  if (inv.dataPath == "-") ++stdinUses;
  if (inv.optionsPath == "-") ++stdinUses;
  if (inv.command == "export" && inv.format.empty() && !inv.outputPath.empty()) {
    // export draws only: the format comes from the output name when it is not given.
    for (const char* extension : {".pdf", ".svg", ".png"}) {
      if (inv.outputPath.ends_with(extension)) inv.format = extension + 1;
    }
  }
  if (inv.command == "export" && inv.format.empty()) {
    error = "export needs --format pdf, svg or png (or an --output name ending in one)";
    return std::nullopt;
  }
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
