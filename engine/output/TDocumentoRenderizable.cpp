#include "output/TDocumentoRenderizable.h"

#include <cmath>

#include "Accessors.h"
#include "Runtime.h"

namespace nv {

namespace {

constexpr std::string_view kPageFileKey = "__vbPageFile";
constexpr std::string_view kPatchesKey = "__vbTextPatches";
constexpr std::string_view kOffsetKey = "__vbPageOffset";
constexpr std::string_view kBytesKey = "__vbPageBytes";

Value EmptyPage() {
  Value page = Value::NewHash();
  page.Set("objetos", Value::NewArray());
  return page;
}

size_t ObjectCount(const Value& page) {
  Value objects = HGet(page, "objetos");
  return objects.IsArray() ? objects.Len() : 0;
}

}  // namespace

std::shared_ptr<TDocumentoRenderizable> TDocumentoRenderizable::New(const Value& ancho, const Value& alto) {
  auto document = std::make_shared<TDocumentoRenderizable>();
  document->Init(ancho, alto);
  return document;
}

TDocumentoRenderizable::~TDocumentoRenderizable() = default;

bool TDocumentoRenderizable::RespondsTo(std::string_view name) const {
  return NameIn(name, {"New", "Init", "Create", "End", "SetTamano", "SetPaperHeightMode", "EnablePageSpooling",
                       "SetAutoPageSpooling", "IsPageSpooling", "HasPageSpoolError", "GetPageSpoolError",
                       "AddPagina", "SetPagina", "ActualizarContenidoPagina", "SetParchesTextoPagina", "GetPagina",
                       "GetPaginas", "TotalPaginas", "TotalObjetos", "SetDataTables", "GetDataTables",
                       "GetDataTable", "aPaginas", "nAncho", "nAlto", "cPaperHeightMode", "lPageSpooling",
                       "nTotalObjects", "nAutoSpoolObjectLimit", "cSpoolError", "aDataTables"}) ||
         Object::RespondsTo(name);
}

void TDocumentoRenderizable::ResetContent() {
  // Files of the pages being dropped would otherwise stay on disk until the document dies.
  spool_.DeleteAll();
  aPaginas = Value::NewArray();
  lPageSpooling = false;
  nTotalObjects = 0;
  nAutoSpoolObjectLimit = 0;
  cSpoolError.clear();
  aDataTables = Value::NewArray();
}

std::shared_ptr<TDocumentoRenderizable> TDocumentoRenderizable::Init(const Value& ancho, const Value& alto) {
  nAncho = ValueDouble(ancho);
  nAlto = ValueDouble(alto);
  cPaperHeightMode = "fixed";
  ResetContent();
  return std::static_pointer_cast<TDocumentoRenderizable>(shared_from_this());
}

std::shared_ptr<TDocumentoRenderizable> TDocumentoRenderizable::Create() {
  ResetContent();
  return std::static_pointer_cast<TDocumentoRenderizable>(shared_from_this());
}

Value TDocumentoRenderizable::End() {
  ResetContent();
  nAncho = 0.0;
  nAlto = 0.0;
  cPaperHeightMode = "fixed";
  return Value();
}

std::shared_ptr<TDocumentoRenderizable> TDocumentoRenderizable::SetTamano(const Value& ancho, const Value& alto) {
  nAncho = ValueDouble(ancho);
  nAlto = ValueDouble(alto);
  return std::static_pointer_cast<TDocumentoRenderizable>(shared_from_this());
}

std::shared_ptr<TDocumentoRenderizable> TDocumentoRenderizable::SetPaperHeightMode(const Value& mode) {
  cPaperHeightMode = (mode.IsString() && Lower(AllTrim(mode.AsString())) == "content") ? "content" : "fixed";
  return std::static_pointer_cast<TDocumentoRenderizable>(shared_from_this());
}

std::shared_ptr<TDocumentoRenderizable> TDocumentoRenderizable::EnablePageSpooling() {
  if (!lPageSpooling) {
    lPageSpooling = true;
    for (Value& entry : aPaginas.AsArray()) {
      if (!SpoolSlice(entry)) entry = StorePage(entry, Value());
    }
  }
  return std::static_pointer_cast<TDocumentoRenderizable>(shared_from_this());
}

std::shared_ptr<TDocumentoRenderizable> TDocumentoRenderizable::SetAutoPageSpooling(const Value& limit) {
  if (limit.IsNumber()) {
    double d = limit.AsDouble();
    nAutoSpoolObjectLimit = (std::isfinite(d) && d > 0) ? ValueInt(limit) : 0;
  }
  return std::static_pointer_cast<TDocumentoRenderizable>(shared_from_this());
}

Value TDocumentoRenderizable::IsPageSpooling() const { return lPageSpooling; }
Value TDocumentoRenderizable::HasPageSpoolError() const { return !cSpoolError.empty(); }
Value TDocumentoRenderizable::GetPageSpoolError() const { return cSpoolError; }

Value TDocumentoRenderizable::AddPagina(const Value& objects) {
  Value list = objects.IsArray() ? objects : Value::NewArray();
  Value page = Value::NewHash();
  nTotalObjects += static_cast<int64_t>(list.Len());
  page.Set("objetos", std::move(list));
  aPaginas.Append(lPageSpooling ? StorePage(page, Value()) : page);
  if (!lPageSpooling && nAutoSpoolObjectLimit > 0 && nTotalObjects >= nAutoSpoolObjectLimit) {
    EnablePageSpooling();
  }
  return Value();
}

int64_t TDocumentoRenderizable::PageIndex(const Value& n) const {
  if (!n.IsNumber()) return -1;
  double d = n.AsDouble();
  if (!(d >= 1.0) || d > static_cast<double>(aPaginas.Len())) return -1;
  return ValueInt(n) - 1;
}

void TDocumentoRenderizable::ReplaceEntry(size_t index, const Value& page) {
  // StorePage rewrites the old entry's place only when that is still a slice of its own file.
  Value& entry = aPaginas.AsArray()[index];
  entry = lPageSpooling ? StorePage(page, entry) : page;
}

Value TDocumentoRenderizable::SetPagina(const Value& n, const Value& page) {
  int64_t index = PageIndex(n);
  if (index < 0 || !page.IsHash()) return false;
  Value old = LoadPage(aPaginas.AsArray()[static_cast<size_t>(index)]);
  nTotalObjects = nTotalObjects - static_cast<int64_t>(ObjectCount(old)) + static_cast<int64_t>(ObjectCount(page));
  ReplaceEntry(static_cast<size_t>(index), page);
  return true;
}

Value TDocumentoRenderizable::ActualizarContenidoPagina(const Value& n, const Value& page) {
  int64_t index = PageIndex(n);
  if (index < 0 || !page.IsHash()) return false;
  ReplaceEntry(static_cast<size_t>(index), page);
  return true;
}

Value TDocumentoRenderizable::SetParchesTextoPagina(const Value& n, const Value& patches) {
  int64_t index = PageIndex(n);
  if (index < 0 || !patches.IsArray()) return false;
  const Value& entry = aPaginas.AsArray()[static_cast<size_t>(index)];
  if (!IsStoredPage(entry).AsBool()) return false;
  entry.Set(kPatchesKey, patches);
  return true;
}

Value TDocumentoRenderizable::GetPagina(const Value& n) {
  int64_t index = PageIndex(n);
  if (index < 0) return EmptyPage();
  return LoadPage(aPaginas.AsArray()[static_cast<size_t>(index)]);
}

Value TDocumentoRenderizable::GetPaginas() {
  if (!lPageSpooling) return aPaginas;
  const Array& entries = aPaginas.AsArray();
  Value pages = Value::NewArray();
  pages.AsArray().reserve(entries.size());
  for (const Value& entry : entries) pages.Append(LoadPage(entry));
  return pages;
}

Value TDocumentoRenderizable::TotalPaginas() const { return Value::Int(static_cast<int64_t>(aPaginas.Len())); }
Value TDocumentoRenderizable::TotalObjetos() const { return Value::Int(nTotalObjects); }

std::shared_ptr<TDocumentoRenderizable> TDocumentoRenderizable::SetDataTables(const Value& tables) {
  aDataTables = tables.IsArray() ? tables : Value::NewArray();
  return std::static_pointer_cast<TDocumentoRenderizable>(shared_from_this());
}

Value TDocumentoRenderizable::GetDataTables() const { return aDataTables; }

Value TDocumentoRenderizable::GetDataTable(const Value& id) const {
  for (const Value& table : aDataTables.AsArray()) {
    if (table.IsHash() && table.Has("cId") && ExactEqual(table["cId"], id)) return table;
  }
  return Value();
}

std::optional<PageSpool::Slice> TDocumentoRenderizable::SpoolSlice(const Value& entry) const {
  const HashPtr* hash = entry.HashRef();
  if (!hash) return std::nullopt;
  const Value* path = (*hash)->Find(kPageFileKey);
  if (!path || !path->IsString() || !spool_.Owns(path->AsString())) return std::nullopt;
  const Value* offset = (*hash)->Find(kOffsetKey);
  const Value* bytes = (*hash)->Find(kBytesKey);
  PageSpool::Slice slice{path->AsString(), -1, -1};
  // A stub whose position was tampered with keeps naming an owned file but reads as a lost page.
  if (offset && offset->IsNumber() && offset->AsNumber().isInteger) slice.offset = offset->AsNumber().i;
  if (bytes && bytes->IsNumber() && bytes->AsNumber().isInteger) slice.bytes = bytes->AsNumber().i;
  return slice;
}

Value TDocumentoRenderizable::IsStoredPage(const Value& entry) const {
  std::optional<PageSpool::Slice> slice = SpoolSlice(entry);
  return slice.has_value() && FileExists(slice->path);
}

Value TDocumentoRenderizable::StorePage(const Value& page, const Value& replacing) {
  std::string_view bytes = Serialize(page, serialized_);
  std::optional<PageSpool::Slice> slice;
  if (std::optional<PageSpool::Slice> old = SpoolSlice(replacing)) slice = spool_.Overwrite(*old, bytes);
  if (!slice) slice = spool_.Append(bytes);
  if (!slice) {
    cSpoolError = kErrorGuardar;
    return page;
  }
  Value stub = Value::NewHash();
  stub.Set(kPageFileKey, std::move(slice->path));
  stub.Set(kOffsetKey, Value::Int(slice->offset));
  stub.Set(kBytesKey, Value::Int(slice->bytes));
  return stub;
}

Value TDocumentoRenderizable::LoadPage(const Value& entry) {
  std::optional<PageSpool::Slice> slice = SpoolSlice(entry);
  if (!slice) return entry.IsHash() ? entry : EmptyPage();
  // A stub whose file has gone is a page lost, not a page: report it and read it as empty.
  std::optional<Value> page;
  if (std::optional<std::string> bytes = spool_.Read(*slice)) page = Deserialize(*bytes);
  if (!page || !page->IsHash() || !HGet(*page, "objetos").IsArray()) {
    cSpoolError = kErrorRecuperar;
    return EmptyPage();
  }
  Value patches = HGet(entry, kPatchesKey);
  if (patches.IsArray()) {
    Array& objects = (*page)["objetos"].AsArray();
    for (const Value& patch : patches.AsArray()) {
      if (!patch.IsHash() || !patch.Has("nIndex") || !patch.Has("uTexto") || !patch["nIndex"].IsNumber()) continue;
      double at = patch["nIndex"].AsDouble();
      if (!(at >= 1.0) || at > static_cast<double>(objects.size())) continue;
      const Value& object = objects[static_cast<size_t>(ValueInt(patch["nIndex"])) - 1];
      if (object.IsHash()) object.Set("texto", patch["uTexto"]);
    }
  }
  return *page;
}

}  // namespace nv
