#pragma once
// The console test runner's assertions, output and error handler, shared by the acceptance
// program and the unit tests that check the runner itself.

#include <string>

#include "Value.h"

namespace nv {

/// Returns the display text of a value for the failure lines: "NIL", the string itself, the
/// number with its decimals and no blanks, ".T."/".F.", "Array(n)", "Hash(n)", else the trimmed
/// generic text.
std::string ValueToString(const Value& value);

/// Writes the text and the console line terminator (CR LF) to standard output.
void LogLine(const std::string& text);

/// Returns 0 when the assertion holds, else writes its three failure lines and returns 1.
/// Numbers hold within 1e-06; other values must be of the same kind and exactly equal (arrays and
/// hashes the same reference).
int AssertEqual(const std::string& label, const Value& actual, const Value& expected);

/// Makes ConsoleErrorHandler the handler that receives every runtime error the engine does not
/// catch itself.
void InstallConsoleErrorHandler();

/// Passes an uncaught runtime error to the installed handler (ConsoleErrorHandler when none was
/// installed). Does not return.
[[noreturn]] void HandleUncaughtError(const RuntimeError& error);

/// Writes the error report (six header lines and at most 40 frame lines) to standard error and
/// ends the process with exit code 1.
[[noreturn]] void ConsoleErrorHandler(const RuntimeError& error);

/// Writes the verdict line for the failure count and returns the process exit code: the count,
/// at most 255, so that 256 failures are never reported to the shell as success.
int FinishRun(int failures);

}  // namespace nv
