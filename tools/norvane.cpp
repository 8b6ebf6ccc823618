// The norvane command-line program: renders a template against runtime data, evaluates a formula,
// or encodes a barcode, and writes the result as JSON.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Accessors.h"
#include "CheckCommand.h"
#include "CommandLine.h"
#include "ExportCommand.h"
#include "RenderOutput.h"
#include "Json.h"
#include "Runtime.h"
#include "barcode/TBarcodeUtil.h"
#include "data/DataFileRecords.h"
#include "data/TConectorDatos.h"
#include "run/TContextoEjecucion.h"
#include "output/TDocumentoRenderizable.h"
#include "formula/TEvaluadorFormulas.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorEjecucion.h"
#include "run/TMotorPaginacion.h"
#include "run/TPaginadorInforme.h"
#include "document/TPlantilla.h"
#include "version/Version.h"

using namespace nv;

namespace {

constexpr int kExitInputError = 1;
constexpr int kExitUsage = 2;

int UsageError(const std::string& reason) {
  std::cerr << "norvane: " << reason << "\n\n" << cli::UsageText();
  return kExitUsage;
}

int InputError(const std::string& reason) {
  std::cerr << "norvane: " << reason << "\n";
  return kExitInputError;
}

// Writes text to the output path ("" or "-" is standard output); false when the file cannot be written.
bool WriteOutput(const std::string& path, const std::string& text) {
  if (path.empty() || path == "-") {
    std::cout << text << "\n";
    return static_cast<bool>(std::cout.flush());
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text << "\n";
  return static_cast<bool>(out.flush());
}

// Progress blocks that print one line on standard error, at most four times a second, and never
// cancel the run.
void InstallProgress(const Value& options) {
  struct Counters {
    int64_t records = 0;
    int64_t pages = 0;
    int64_t lastPrintMs = 0;
  };
  auto counters = std::make_shared<Counters>();
  auto report = [counters](bool force) {
    int64_t now = MillisecondClock();
    if (!force && now - counters->lastPrintMs < 250) return;
    counters->lastPrintMs = now;
    std::fprintf(stderr, "norvane: %lld records examined, %lld pages generated\n",
                 static_cast<long long>(counters->records), static_cast<long long>(counters->pages));
  };
  options.Set("lProgressActive", true);
  options.Set("bProgressRecord", Value::Block([counters, report](std::span<const Value> args) {
                counters->records = args.empty() ? counters->records + 1 : ValueInt(args[0]);
                report(false);
                return Value(true);
              }));
  options.Set("bProgressPage", Value::Block([counters, report](std::span<const Value> args) {
                counters->pages = args.empty() ? counters->pages + 1 : ValueInt(args[0]);
                report(false);
                return Value(true);
              }));
}

// The pieces of one execution, built in the order the engine expects and ended in reverse.
struct Session {
  std::shared_ptr<TPlantilla> plantilla;
  std::shared_ptr<TConectorDatos> conector;
  std::shared_ptr<TEvaluadorFormulas> evaluador;
  std::shared_ptr<TContextoEjecucion> contexto;

  ~Session() {
    if (contexto) contexto->End();
    if (evaluador) evaluador->End();
    if (plantilla) plantilla->End();
    if (conector) conector->End();
  }
};

// Reads the optional data and options files; false (with the message printed) on a bad input.
// With dataInFile, a data file that can be read record by record is left for the run to read
// (dataInFile stays true) instead of being decoded here whole.
bool ReadRunInputs(const cli::Invocation& inv, Value& data, Value& options, int& exitCode,
                   bool* dataInFile = nullptr) {
  std::string error;
  data = Value::NewHash();
  options = Value::NewHash();
  if (dataInFile != nullptr) {
    *dataInFile = !inv.dataPath.empty() && inv.dataPath != "-" && DataFileRecords::Open(inv.dataPath) != nullptr;
  }
  if (!inv.dataPath.empty() && (dataInFile == nullptr || !*dataInFile)) {
    auto read = cli::ReadJsonInput(inv.dataPath, error);
    if (!read) {
      exitCode = InputError(error);
      return false;
    }
    data = *read;
  }
  if (!inv.optionsPath.empty()) {
    auto read = cli::ReadJsonInput(inv.optionsPath, error);
    if (!read) {
      exitCode = InputError(error);
      return false;
    }
    options = *read;
  }
  return true;
}

// Builds connector, evaluator and context over the data; the options take the template's variable
// definitions unless they set their own.
void BuildSession(Session& session, const Value& templateHash, const Value& data, const Value& options) {
  session.plantilla = TPlantilla::New(Value(""));
  session.plantilla->SetData(templateHash);
  session.plantilla->Create();
  session.conector = TConectorDatos::New(Value(""));
  session.conector->Create();
  session.conector->hDatos = session.conector->NormalizarDatosRuntime(data);
  if (!options.Has("hUserVars")) options.Set("hUserVars", session.plantilla->GetUserVars());
  if (!options.Has("hAcumVars")) options.Set("hAcumVars", session.plantilla->GetAcumVars());
  session.evaluador = TEvaluadorFormulas::New();
  session.evaluador->Create();
  session.contexto = TContextoEjecucion::New(Value(session.conector), Value(session.evaluador), options);
  session.contexto->Create();
}

int Render(const cli::Invocation& inv) {
  std::string error;
  auto templateHash = cli::ReadJsonInput(inv.positional[0], error);
  if (!templateHash) return InputError(error);
  Value data, options;
  int exitCode = 0;
  bool dataInFile = false;
  if (!ReadRunInputs(inv, data, options, exitCode, &dataInFile)) return exitCode;
  if (inv.progress) InstallProgress(options);
  cli::RenderOutput::SetDefaultSpoolLimit(options);

  // The paginating host runs the template page after page until every detail record is placed.
  // Given the data file, a label run reads its records from it one at a time.
  TPaginadorInforme::Resultado run = dataInFile
                                         ? TPaginadorInforme::RenderizarArchivo(*templateHash, inv.dataPath, options)
                                         : TPaginadorInforme::Renderizar(*templateHash, data, options);
  auto documento = run.documento;
  if (!documento) return InputError("the run was cancelled");

  // Pages are read one at a time, never all at once, so a spooled run stays on disk.
  cli::RenderedPages pages;
  pages.ancho = documento->nAncho;
  pages.alto = documento->nAlto;
  pages.modoAlto = documento->cPaperHeightMode;
  pages.count = ValueInt(documento->TotalPaginas());
  pages.pagina = [&documento](int64_t n) { return documento->GetPagina(Value::Int(n)); };
  pages.avisos = run.avisos;
  pages.descartados = run.descartados;
  pages.rendimiento = run.rendimiento;
  exitCode = cli::RenderOutput::Write(pages, inv);
  documento->End();
  return exitCode;
}

int Eval(const cli::Invocation& inv) {
  Value data, options;
  int exitCode = 0;
  if (!ReadRunInputs(inv, data, options, exitCode)) return exitCode;
  Session session;
  BuildSession(session, Value::NewHash(), data, options);
  Value status = session.contexto->EvaluarFormulaConEstado(Value(inv.positional[0]));
  Value output = Value::NewHash();
  output.Set("valor", HGet(status, "valor"));
  output.Set("lError", HGet(status, "lError", Value(false)));
  output.Set("cError", HGet(status, "cError", Value("")));
  WriteOutput("", EncodeJson(output));
  return 0;
}

int Barcode(const cli::Invocation& inv) {
  auto util = TBarcodeUtil::New();
  Value result = util->Crear(Value(inv.positional[1]), Value(inv.positional[0]));
  WriteOutput("", EncodeJson(result));
  // A failure is told by its "error" key.
  return HHas(result, "error") ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto inv = cli::ParseArguments(args, error);
  if (!inv) return UsageError(error);
  if (inv->command == "help") {
    std::cout << cli::UsageText();
    return 0;
  }
  if (inv->command == "version") {
    std::cout << "norvane " << EngineVersion() << "\n";
    return 0;
  }
  try {
    if (inv->command == "render") return Render(*inv);
    if (inv->command == "export") return cli::ExportCommand::Run(*inv);
    if (inv->command == "eval") return Eval(*inv);
    if (inv->command == "check") return cli::RunCheck(*inv);
    return Barcode(*inv);
  } catch (const RuntimeError& e) {
    std::cerr << "norvane: internal error: " << e.Description() << " (" << e.Operation() << ")\n";
    return 1;
  }
}
