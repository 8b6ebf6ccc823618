#include "RenderOutput.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "Exporter.h"
#include "FileOutputTarget.h"
#include "Json.h"
#include "PageSelection.h"
#include "Runtime.h"

namespace nv::cli {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::optional<int64_t> SourceDateEpoch() {
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text == '\0') return std::nullopt;
  char* end = nullptr;
  long long seconds = std::strtoll(text, &end, 10);
  if (*end != '\0' || seconds < 0) return std::nullopt;
  return static_cast<int64_t>(seconds);
}

// Prints "N of M pages exported" at most four times a second, and always for the last page.
class ExportProgress {
 public:
  ExportProgress(bool active, int64_t total) : active_(active), total_(total) {}
  void Page(int64_t done) {
    if (!active_) return;
    int64_t now = MillisecondClock();
    if (done < total_ && now - last_ < 250) return;
    last_ = now;
    std::fprintf(stderr, "norvane: %lld of %lld pages exported\n", static_cast<long long>(done),
                 static_cast<long long>(total_));
  }

 private:
  bool active_;
  int64_t total_;
  int64_t last_ = 0;
};

}  // namespace

void RenderOutput::SetDefaultSpoolLimit(const Value& options) {
  if (options.IsHash() && !options.Has("nAutoSpoolObjectLimit")) {
    options.Set("nAutoSpoolObjectLimit", Value::Int(kDefaultSpoolObjectLimit));
  }
}

std::string RenderOutput::FormatFor(const Invocation& inv) {
  if (!inv.format.empty()) return Lower(inv.format);
  const std::string path = Lower(inv.outputPath);
  for (const char* extension : {"pdf", "svg", "png", "json"}) {
    std::string suffix = std::string(".") + extension;
    if (path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
      return extension;
    }
  }
  return "json";
}

bool RenderOutput::WriteJson(const RenderedPages& doc, const Invocation& inv) {
  std::ofstream file;
  const bool toStdout = inv.outputPath.empty() || inv.outputPath == "-";
  if (!toStdout) file.open(inv.outputPath, std::ios::binary | std::ios::trunc);
  std::ostream& out = toStdout ? std::cout : file;
  std::string pagesError;
  PageSelection selection = PageSelection::Parse(inv.pages, pagesError).value_or(PageSelection());
  // The same text EncodeJson gives the whole document, written a page at a time.
  out << "{" << EncodeJson(Value("ancho")) << ":" << EncodeJson(Value(doc.ancho)) << ","
      << EncodeJson(Value("alto")) << ":" << EncodeJson(Value(doc.alto)) << "," << EncodeJson(Value("modoAlto"))
      << ":" << EncodeJson(Value(doc.modoAlto)) << "," << EncodeJson(Value("paginas")) << ":[";
  bool first = true;
  for (int64_t page : selection.PagesOf(doc.count)) {
    if (!first) out << ",";
    first = false;
    out << EncodeJson(doc.pagina(page));
  }
  out << "]," << EncodeJson(Value("avisos")) << ":" << EncodeJson(doc.avisos) << ","
      << EncodeJson(Value("descartados")) << ":" << EncodeJson(doc.descartados) << ","
      << EncodeJson(Value("rendimiento")) << ":" << EncodeJson(doc.rendimiento) << "}\n";
  out.flush();
  return static_cast<bool>(out);
}

out::ExportResult RenderOutput::Draw(const RenderedPages& doc, const Invocation& inv, out::Format format) {
  std::string pagesError;
  PageSelection selection = PageSelection::Parse(inv.pages, pagesError).value_or(PageSelection());
  std::vector<int64_t> pages = selection.PagesOf(doc.count);
  out::ExportOptions options;
  options.format = format;
  options.dpi = inv.dpi;
  options.creationTime = SourceDateEpoch();
  options.fontDirs = inv.fontDirs;
  FileOutputTarget target(inv.outputPath.empty() ? "-" : inv.outputPath, static_cast<int64_t>(pages.size()));
  out::Exporter exporter(options, target);
  exporter.Begin(doc.ancho, doc.alto, doc.modoAlto);
  ExportProgress progress(inv.progress, static_cast<int64_t>(pages.size()));
  int64_t done = 0;
  for (int64_t page : pages) {
    exporter.AddPage(doc.pagina(page));
    progress.Page(++done);
  }
  return exporter.Finish();
}

Value RenderOutput::WarningsValue(const out::ExportResult& result) {
  Value list = Value::NewArray();
  for (const out::ExportWarning& warning : result.warnings) {
    Value item = Value::NewHash();
    item.Set("pagina", Value::Int(warning.page));
    item.Set("id", Value(warning.id));
    item.Set("codigo", Value(warning.code));
    item.Set("mensaje", Value(warning.message));
    item.Set("contenidoPerdido", Value(warning.contentLost));
    item.Set("veces", Value::Int(warning.count));
    list.Append(std::move(item));
  }
  return list;
}

bool RenderOutput::WriteReport(const RenderedPages& doc, const Invocation& inv, const out::ExportResult* result) {
  Value report = Value::NewHash();
  report.Set("avisos", doc.avisos.IsNil() ? Value::NewArray() : doc.avisos);
  report.Set("descartados", doc.descartados.IsNil() ? Value::NewArray() : doc.descartados);
  report.Set("rendimiento", doc.rendimiento.IsNil() ? Value::NewHash() : doc.rendimiento);
  Value exportacion = Value::NewHash();
  if (result != nullptr) {
    exportacion.Set("ok", Value(result->ok));
    exportacion.Set("error", Value(result->error));
    exportacion.Set("paginas", Value::Int(result->pages));
    exportacion.Set("avisos", WarningsValue(*result));
  }
  report.Set("exportacion", exportacion);
  std::ofstream file(inv.reportPath, std::ios::binary | std::ios::trunc);
  file << EncodeJson(report, true) << "\n";
  file.close();
  return !file.fail();
}

int RenderOutput::Write(const RenderedPages& doc, const Invocation& inv) {
  const std::string format = FormatFor(inv);
  if (format == "json") {
    bool ok = WriteJson(doc, inv);
    if (!inv.reportPath.empty() && !WriteReport(doc, inv, nullptr)) {
      std::cerr << "norvane: " << inv.reportPath << ": cannot be written\n";
      return kExitOutputError;
    }
    if (!ok) std::cerr << "norvane: " << inv.outputPath << ": cannot be written\n";
    return ok ? kExitOk : kExitOutputError;
  }
  const out::Format drawn = format == "svg" ? out::Format::Svg : format == "png" ? out::Format::Png : out::Format::Pdf;
  if (drawn != out::Format::Pdf && (inv.outputPath.empty() || inv.outputPath == "-")) {
    std::string pagesError;
    auto selection = PageSelection::Parse(inv.pages, pagesError);
    if (selection && selection->PagesOf(doc.count).size() > 1) {
      std::cerr << "norvane: standard output takes one " << format << " page; name an --output file\n";
      return kExitOutputError;
    }
  }
  out::ExportResult result = Draw(doc, inv, drawn);
  for (const out::ExportWarning& warning : result.warnings) {
    std::cerr << "norvane: warning: " << warning.code << ": " << warning.message;
    if (warning.count > 1) std::cerr << " (" << warning.count << " veces)";
    std::cerr << "\n";
  }
  if (!inv.reportPath.empty() && !WriteReport(doc, inv, &result)) {
    std::cerr << "norvane: " << inv.reportPath << ": cannot be written\n";
    return kExitOutputError;
  }
  if (!result.ok) {
    std::cerr << "norvane: " << result.error << "\n";
    return kExitOutputError;
  }
  if (inv.strict) {
    for (const out::ExportWarning& warning : result.warnings) {
      if (warning.contentLost) return kExitContentLost;
    }
  }
  return kExitOk;
}

}  // namespace nv::cli
