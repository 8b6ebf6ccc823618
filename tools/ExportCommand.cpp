#include "ExportCommand.h"

#include <iostream>

#include "Accessors.h"
#include "RenderOutput.h"

namespace nv::cli {

int ExportCommand::Run(const Invocation& inv) {
  std::string error;
  auto saved = ReadJsonInput(inv.positional[0], error);
  if (!saved) {
    std::cerr << "norvane: " << error << "\n";
    return RenderOutput::kExitOutputError;
  }
  Value pages = HGet(*saved, "paginas");
  if (!pages.IsArray()) {
    std::cerr << "norvane: " << inv.positional[0] << ": not a rendered document (no \"paginas\" list)\n";
    return RenderOutput::kExitOutputError;
  }
  RenderedPages doc;
  doc.ancho = ValueDouble(HGet(*saved, "ancho"));
  doc.alto = ValueDouble(HGet(*saved, "alto"));
  doc.modoAlto = ValueString(HGet(*saved, "modoAlto", Value("fixed")));
  doc.count = static_cast<int64_t>(pages.Len());
  doc.pagina = [&pages](int64_t n) { return pages.AsArray()[static_cast<size_t>(n - 1)]; };
  doc.avisos = HGet(*saved, "avisos");
  doc.descartados = HGet(*saved, "descartados");
  doc.rendimiento = HGet(*saved, "rendimiento");
  return RenderOutput::Write(doc, inv);
}

}  // namespace nv::cli
