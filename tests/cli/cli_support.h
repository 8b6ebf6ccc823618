#pragma once
// Runs the norvane program as a user runs it, for the command-line tests: exit code, standard
// output (decoded when it is JSON) and standard error.
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"

namespace nv::clitest {

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
  Value json;  // standard output decoded, nil when it is not JSON
};

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs the program with the arguments (each quoted) and an optional shell redirect of stdin.
inline CliRun Norvane(const std::vector<std::string>& args, const std::string& stdinFile = "") {
  std::string errFile = CreateTempFile("norvane_cli_err_", ".txt");
  std::string command = Quote(NORVANE_BINARY);
  for (const auto& a : args) command.append(" ").append(Quote(a));
  if (!stdinFile.empty()) command.append(" < ").append(Quote(stdinFile));
  command.append(" 2> ").append(Quote(errFile));
  CliRun run;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = ReadBinaryFile(errFile);
  DeleteFile(errFile);
  bool ok = false;
  run.json = DecodeJson(run.out, ok);
  if (!ok) run.json = Value();
  return run;
}

inline std::string Example(const std::string& name) { return std::string(NORVANE_EXAMPLES) + "/" + name; }

inline std::string TempWith(const std::string& content) {
  std::string path = CreateTempFile("norvane_cli_in_", ".json");
  WriteFile(path, content);
  return path;
}

}  // namespace nv::clitest
