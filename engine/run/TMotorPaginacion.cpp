#include "run/TMotorPaginacion.h"

#include <algorithm>
#include <cmath>

#include "Accessors.h"
#include "Runtime.h"
#include "TextLines.h"
#include "output/TDocumentoRenderizable.h"

namespace nv {

namespace {

double NumberAt(const Value& object, std::string_view key, double def = 0.0) {
  const HashPtr* hash = object.HashRef();
  if (!hash) return def;
  const Value* found = (*hash)->Find(key);
  return found ? ValueDouble(*found) : def;
}

double NonNegative(const Value& object, std::string_view key) { return std::max(0.0, NumberAt(object, key)); }

}  // namespace

std::shared_ptr<TMotorPaginacion> TMotorPaginacion::New(const Value& opciones) {
  auto engine = std::make_shared<TMotorPaginacion>();
  engine->Init(opciones);
  return engine;
}

bool TMotorPaginacion::RespondsTo(std::string_view name) const {
  return NameIn(name, {"New", "Init", "Create", "End", "SetOpciones", "SetIgnorarSaltosPagina", "Paginar",
                       "DividirObjetos", "hOpciones", "lCreated", "lIgnorarSaltosPagina"}) ||
         Object::RespondsTo(name);
}

std::shared_ptr<TMotorPaginacion> TMotorPaginacion::Init(const Value& opciones) {
  hOpciones = opciones.IsHash() ? opciones : Value::NewHash();
  lCreated = false;
  lIgnorarSaltosPagina = false;
  return std::static_pointer_cast<TMotorPaginacion>(shared_from_this());
}

std::shared_ptr<TMotorPaginacion> TMotorPaginacion::Create() {
  lCreated = true;
  return std::static_pointer_cast<TMotorPaginacion>(shared_from_this());
}

Value TMotorPaginacion::End() {
  hOpciones = Value::NewHash();
  lCreated = false;
  lIgnorarSaltosPagina = false;
  return Value();
}

std::shared_ptr<TMotorPaginacion> TMotorPaginacion::SetOpciones(const Value& opciones) {
  hOpciones = opciones.IsHash() ? opciones : Value::NewHash();
  return std::static_pointer_cast<TMotorPaginacion>(shared_from_this());
}

std::shared_ptr<TMotorPaginacion> TMotorPaginacion::SetIgnorarSaltosPagina(const Value& flag) {
  lIgnorarSaltosPagina = flag.IsTrue();
  return std::static_pointer_cast<TMotorPaginacion>(shared_from_this());
}

Value TMotorPaginacion::Paginar(const Value& pagina, const Value& objetos) {
  return Value(PaginarDocumento(pagina, objetos));
}

std::shared_ptr<TDocumentoRenderizable> TMotorPaginacion::PaginarDocumento(const Value& pagina,
                                                                           const Value& objetos) {
  Value ancho = ValueNumber(HGet(pagina, "ancho", Value::Int(0)));
  Value alto = ValueNumber(HGet(pagina, "alto", Value::Int(0)));
  std::string modo = Lower(AllTrim(ValueString(HGet(pagina, "modoAlto", "fixed"))));
  if (modo == "content") {
    alto = Value(CalcularAltoContenido(objetos, HGet(pagina, "margenInferiorContinuo", Value::Int(5))));
  } else {
    modo = "fixed";
  }

  auto document = TDocumentoRenderizable::New(ancho, alto);
  document->Create();
  document->SetPaperHeightMode(Value(modo));
  if (modo == "content") {
    document->AddPagina(objetos.IsArray() ? objetos : Value::NewArray());
    return document;
  }
  Value pages = DividirObjetos(objetos);
  for (const Value& page : pages.AsArray()) document->AddPagina(page);
  return document;
}

double TMotorPaginacion::CalcularAltoContenido(const Value& objetos, const Value& margen) const {
  double margin = ValueDouble(margen);
  if (!objetos.IsArray()) return std::max(1.0, margin);
  double bottom = 0.0;
  for (const Value& object : objetos.AsArray()) {
    if (!object.IsHash()) continue;
    bottom = std::max(bottom, NumberAt(object, "y") + NonNegative(object, "alto") + NonNegative(object, "sombraTamano"));
  }
  return std::max(1.0, bottom + std::max(0.0, margin));
}

Value TMotorPaginacion::DividirObjetos(const Value& objetos) {
  std::vector<Value> pages(1, Value::NewArray());
  if (!objetos.IsArray()) return Value::FromArray(std::move(pages));
  pages[0].AsArray().reserve(objetos.Len());  // every object has a fragment on the first page
  std::vector<Value> fragments;
  for (const Value& object : objetos.AsArray()) {
    if (!object.IsHash()) continue;
    fragments.clear();
    DividirTexto(object, fragments);
    while (pages.size() < fragments.size()) pages.push_back(Value::NewArray());
    for (size_t k = 0; k < fragments.size(); ++k) pages[k].AsArray().push_back(std::move(fragments[k]));
  }
  return Value::FromArray(std::move(pages));
}

void TMotorPaginacion::DividirTexto(const Value& objeto, std::vector<Value>& out) const {
  if (lIgnorarSaltosPagina) {
    out.push_back(objeto);
    return;
  }
  std::string tipo = ValueString(HGet(objeto, "tipo", ""));
  bool formatted = tipo == "texto_formateado";
  if (lIgnorarSaltosPagina || (tipo != "texto" && !formatted) || !HGet(objeto, "permiteSaltoPagina").IsTrue()) {
    out.push_back(objeto);
    return;
  }
  std::vector<Lineas> groups = FragmentarLineas(objeto, LineasVisuales(objeto));
  if (groups.size() <= 1) {
    out.push_back(objeto);
    return;
  }

  Value cursor = Value::NewHash();
  cursor.Set("nRun", Value::Int(1));
  cursor.Set("nChar", Value::Int(1));
  Value runs = HGet(objeto, "runs", Value::NewArray());
  Value originId = HGet(objeto, "id", "");
  std::string id = ValueString(originId);

  for (size_t k = 0; k < groups.size(); ++k) {
    Value fragment = objeto.Clone();
    std::string text = UnirLineas(groups[k]);
    if (formatted) fragment.Set("runs", FragmentRichTextRuns(runs, text, cursor));
    Value ends = Value::NewArray();
    ends.AsArray().reserve(groups[k].size());
    for (const LineaVisual& line : groups[k]) ends.Append(line.finParrafo);
    fragment.Set("texto", std::move(text));
    fragment.Set("finalesParrafo", std::move(ends));
    fragment.Set("idOrigenPaginacion", originId);
    fragment.Set("nPaginaContinuacion", Value::Int(static_cast<int64_t>(k + 1)));
    if (k > 0 && !id.empty()) fragment.Set("id", id + "__page_" + std::to_string(k + 1));
    out.push_back(std::move(fragment));
  }
}

TMotorPaginacion::Lineas TMotorPaginacion::LineasVisuales(const Value& objeto) const {
  bool wrap = !HGet(objeto, "ajusteLinea", true).IsFalse();
  double available = NonNegative(objeto, "ancho") - NonNegative(objeto, "paddingIzquierdo") -
                     NonNegative(objeto, "paddingDerecho");
  Lineas lines;
  for (TextLines::Line& line :
       TextLines::Lines(ValueString(HGet(objeto, "texto", "")), available, NumberAt(objeto, "tamano", 10.0), wrap)) {
    lines.push_back({std::move(line.texto), line.finParrafo});
  }
  return lines;
}

std::vector<TMotorPaginacion::Lineas> TMotorPaginacion::FragmentarLineas(const Value& objeto, Lineas lineas) const {
  double available = NonNegative(objeto, "alto") - NonNegative(objeto, "paddingSuperior") -
                     NonNegative(objeto, "paddingInferior");
  double size = std::max(0.1, NumberAt(objeto, "tamano", 10.0));
  Value leadingValue = HGet(objeto, "interlineado", Value::Int(0));
  double leading = ValueDouble(leadingValue);
  double paragraphLeading = ValueDouble(HGet(objeto, "espaciadoParrafo", leadingValue));

  std::vector<Lineas> groups;
  if (!(available > 0.0) || lineas.empty()) {
    groups.push_back(std::move(lineas));
    return groups;
  }
  Lineas current;
  double used = 0.0;
  for (LineaVisual& line : lineas) {
    double height = std::max(kAltoLineaMinimo, (size + (line.finParrafo ? paragraphLeading : leading)) * kMmPorPunto);
    if (!current.empty() && used + height > available + kToleranciaAjuste) {
      groups.push_back(std::move(current));
      current = Lineas();
      used = 0.0;
    }
    current.push_back(std::move(line));
    used += height;
  }
  if (!current.empty()) groups.push_back(std::move(current));
  return groups;
}

std::string TMotorPaginacion::UnirLineas(const Lineas& lineas) const {
  std::string out;
  for (size_t i = 0; i < lineas.size(); ++i) {
    if (i > 0) out.push_back('\n');
    out += lineas[i].texto;
  }
  return out;
}

Value TMotorPaginacion::FragmentRichTextRuns(const Value& runs, std::string_view text, const Value& cursor) const {
  Value pieces = Value::NewArray();
  if (!runs.IsArray() || !cursor.IsHash()) return pieces;
  const Array& list = runs.AsArray();
  const int64_t count = static_cast<int64_t>(list.size());

  // The text of the run under the cursor is loaded once per run, not once per byte.
  std::string current;
  int64_t loaded = 0;
  auto load = [&](int64_t run) {
    if (loaded == run) return;
    loaded = run;
    current.clear();
    if (run >= 1 && run <= count && list[static_cast<size_t>(run - 1)].IsHash()) {
      current = ValueString(HGet(list[static_cast<size_t>(run - 1)], "cText", ""));
    }
  };
  auto within = [&](int64_t at) { return at >= 1 && at <= static_cast<int64_t>(current.size()); };

  int64_t r = ValueInt(HGet(cursor, "nRun", Value::Int(1)));
  int64_t c = ValueInt(HGet(cursor, "nChar", Value::Int(1)));
  int64_t lastRun = -1;
  std::string pieceText;
  auto flush = [&]() {
    if (lastRun != -1) pieces.AsArray().back().Set("cText", pieceText);
  };

  for (char ch : text) {
    while (r <= count) {
      load(r);
      if (within(c)) break;
      ++r;
      c = 1;
    }
    Value source;
    if (r > count) {
      source = count > 0 ? list.back() : Value::NewHash();
      load(r);
    } else {
      source = list[static_cast<size_t>(r - 1)];
    }
    // Paragraph breaks of the runs that fall between two fragments belong to neither.
    while (ch != '\n' && within(c) && current[static_cast<size_t>(c - 1)] == '\n') ++c;
    bool runBreak = within(c) && current[static_cast<size_t>(c - 1)] == '\n';

    if (lastRun == r) {
      pieceText.push_back(ch);
    } else {
      flush();
      pieces.Append(source.IsHash() ? source.Clone() : Value::NewHash());
      pieceText.assign(1, ch);
      lastRun = r;
    }
    // A line break inserted by wrapping consumes no character of the runs.
    if (ch != '\n' || runBreak) ++c;
  }
  flush();
  cursor.Set("nRun", Value::Int(r));
  cursor.Set("nChar", Value::Int(c));
  return pieces;
}

}  // namespace nv
