#pragma once
// Argument parsing and input checks of the norvane program, kept apart from main so that they can
// be tested without running a process.

#include <optional>
#include <string>
#include <vector>

#include "Value.h"

namespace nv::cli {

/// A parsed command line: the subcommand, its positional arguments and its options.
struct Invocation {
  std::string command;                  // "render", "export", "eval", "barcode", "check", "help", "version"
  std::vector<std::string> positional;  // TEMPLATE, FORMULA or TYPE CONTENT
  std::string dataPath;
  std::string optionsPath;
  std::string outputPath;
  bool progress = false;
  bool json = false;  // check: the problems as JSON instead of lines
  // Output of render and export: the drawn formats and what they take.
  std::string format;                 // "json", "pdf", "svg", "png"; "" = from --output
  std::string pages;                  // --pages list, "" = all
  double dpi = 0;                     // --dpi, 0 = the format's default
  std::vector<std::string> fontDirs;  // --fonts, repeatable
  std::string reportPath;
  bool strict = false;
};

/// Parses argv; on a wrong or missing argument returns nullopt and puts the reason in error.
std::optional<Invocation> ParseArguments(const std::vector<std::string>& args, std::string& error);

/// The usage text printed by --help and after an argument error.
std::string UsageText();

/// Reads a JSON input file ("-" is standard input) that must hold a JSON object. On failure returns
/// nullopt and puts one line naming the file and the reason in error: missing, unreadable, not valid
/// JSON (with the parser's offset) or not a JSON object.
std::optional<Value> ReadJsonInput(const std::string& path, std::string& error);

}  // namespace nv::cli
