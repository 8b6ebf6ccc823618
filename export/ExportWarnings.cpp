#include "ExportWarnings.h"

#include <array>

namespace nv::out {

namespace {

struct CodeText {
  std::string_view code;
  std::string_view text;
};

constexpr std::array<CodeText, 24> kMessages{{
    {"text-clipped", "Texto recortado: no cabe en su caja"},
    {"glyph-missing", "Caracteres sin glifo en ninguna fuente"},
    {"font-substituted", "Fuente no disponible, sustituida"},
    {"image-missing", "Imagen no disponible"},
    {"image-unsupported", "Formato de imagen no soportado"},
    {"image-fit", "Ajuste de imagen desconocido, se usa contain"},
    {"barcode-error", "Codigo de barras con error"},
    {"barcode-module-small", "Modulo del codigo de barras demasiado pequeno"},
    {"barcode-invalid", "Codigo de barras sin modulos validos"},
    {"unknown-kind", "Tipo de objeto desconocido"},
    {"bad-object", "Objeto de pagina no valido"},
    {"bad-box", "Caja no valida (numero no finito o tamano absurdo)"},
    {"bad-number", "Valor no numerico"},
    {"bad-color", "Color no valido"},
    {"fill-style", "Estilo de relleno no soportado, se dibuja solido"},
    {"line-style", "Estilo de linea desconocido, se dibuja continua"},
    {"text-runs", "Tramos de texto que no coinciden con el texto"},
    {"text-fit-mode", "Modo de ajuste de texto desconocido"},
    {"text-decimal-position", "Posicion decimal no aplicable, se usa la alineacion del texto"},
    {"font-dir-missing", "Carpeta de fuentes no encontrada"},
    {"page-size", "Tamano de pagina no valido"},
    {"page-too-tall", "Pagina mas alta de 5080 mm"},
    {"chart-data", "Datos de grafico no validos"},
    {"page-not-object", "Pagina sin lista de objetos"},
}};

}  // namespace

std::string_view ExportWarnings::Describe(std::string_view code) {
  for (const CodeText& entry : kMessages) {
    if (entry.code == code) return entry.text;
  }
  return "Aviso de exportacion";
}

bool ExportWarnings::IsContentLost(std::string_view code) {
  return code == "text-clipped" || code == "glyph-missing" || code == "image-missing" || code == "barcode-error" ||
         code == "unknown-kind" || code == "bad-box" || code == "bad-object";
}

void ExportWarnings::Add(int64_t page, std::string_view id, std::string_view code, std::string_view detail) {
  if (muted_) return;
  auto key = std::make_pair(std::string(code), std::string(id));
  if (auto found = index_.find(key); found != index_.end()) {
    ++warnings_[found->second].count;
    return;
  }
  ExportWarning warning;
  warning.page = page;
  warning.id = std::string(id);
  warning.code = std::string(code);
  warning.message = std::string(Describe(code));
  if (!detail.empty()) warning.message += " (" + std::string(detail) + ")";
  warning.message += " en el objeto '" + warning.id + "' de la pagina " + std::to_string(page);
  warning.contentLost = IsContentLost(code);
  index_.emplace(std::move(key), warnings_.size());
  warnings_.push_back(std::move(warning));
}

bool ExportWarnings::ContentLost() const {
  for (const ExportWarning& warning : warnings_) {
    if (warning.contentLost) return true;
  }
  return false;
}

}  // namespace nv::out
