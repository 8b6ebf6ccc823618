// Renders a template against a data file through the Norvane library and prints one line per page:
// its number and how many render objects it holds.
//   embed TEMPLATE.json DATA.json
#include <cstdio>

#include "Accessors.h"
#include "data/TConectorDatos.h"
#include "document/TPlantilla.h"
#include "formula/TEvaluadorFormulas.h"
#include "output/TDocumentoRenderizable.h"
#include "run/TContextoEjecucion.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorEjecucion.h"
#include "run/TMotorPaginacion.h"

using namespace nv;

int main(int argc, char** argv) {
  if (argc != 3) return std::fprintf(stderr, "usage: embed TEMPLATE.json DATA.json\n"), 2;
  auto plantilla = TPlantilla::New(Value(argv[1]))->Create();
  auto conector = TConectorDatos::New(Value(argv[2]))->Create();
  auto evaluador = TEvaluadorFormulas::New()->Create();
  Value options = Value::NewHash();
  options.Set("hUserVars", plantilla->GetUserVars());
  options.Set("hAcumVars", plantilla->GetAcumVars());
  auto contexto = TContextoEjecucion::New(Value(conector), Value(evaluador), options)->Create();
  auto composicion = TMotorComposicion::New(Value::NewHash())->Create();
  auto paginacion = TMotorPaginacion::New()->Create();
  auto motor = TMotorEjecucion::New(Value(plantilla), Value(conector), Value(composicion), Value(paginacion),
                                    Value(contexto))->Create();
  auto documento = motor->Ejecutar().AsShared<TDocumentoRenderizable>();
  if (!documento) return std::fprintf(stderr, "the run was cancelled\n"), 1;
  const Value pages = documento->GetPaginas();
  for (size_t i = 0; i < pages.Len(); ++i) {
    std::printf("page %zu: %zu objects\n", i + 1, HGet(pages.AsArray()[i], "objetos").Len());
  }
  // Collaborators are ended in the reverse order of their making; the document deletes its spool files.
  documento->End();
  motor->End();
  paginacion->End();
  composicion->End();
  contexto->End();
  evaluador->End();
  plantilla->End();
  conector->End();
  return 0;
}
