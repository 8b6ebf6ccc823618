// Renders a template against a data file through the Norvane library and prints one line per page:
// its number and how many render objects it holds.
//   embed TEMPLATE.json DATA.json
#include <cstdio>

#include "Accessors.h"
#include "Json.h"
#include "output/TDocumentoRenderizable.h"
#include "run/TPaginadorInforme.h"

using namespace nv;

int main(int argc, char** argv) {
  if (argc != 3) return std::fprintf(stderr, "usage: embed TEMPLATE.json DATA.json\n"), 2;
  const Value plantilla = ReadJsonFile(argv[1]);
  const Value datos = ReadJsonFile(argv[2]);
  if (!plantilla.IsHash() || !datos.IsHash()) return std::fprintf(stderr, "cannot read the input files\n"), 1;

  // One call runs the whole document: every detail record placed, page after page.
  TPaginadorInforme::Resultado run = TPaginadorInforme::Renderizar(plantilla, datos, Value::NewHash());
  if (!run.documento) return std::fprintf(stderr, "the run was cancelled\n"), 1;
  const int64_t total = ValueInt(run.documento->TotalPaginas());
  for (int64_t page = 1; page <= total; ++page) {
    // Pages are read one at a time: a long run keeps its pages spooled on disk.
    const Value objects = HGet(run.documento->GetPagina(Value::Int(page)), "objetos");
    std::printf("page %lld: %zu objects\n", static_cast<long long>(page), objects.Len());
  }
  std::printf("%zu warnings\n", run.avisos.Len());
  run.documento->End();  // deletes the spool files
  return 0;
}
