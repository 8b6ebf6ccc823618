#pragma once
// The result of an execution: paper size, height mode and the ordered list of rendered pages.
// Large documents can move their pages into temporary spool files, read back transparently. A
// spooled page is a stub {"__vbPageFile": path, "__vbPageOffset": n, "__vbPageBytes": n} naming
// where its bytes lie: pages are appended one after another to a few large spool files, since a
// file per page costs more to create and delete than the page costs to write.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Object.h"
#include "output/PageSpool.h"
#include "Runtime.h"
#include "Value.h"

namespace nv {

class TDocumentoRenderizable : public Object {
 public:
  /// Message recorded when a page cannot be written to its spool file (the page stays in memory).
  static constexpr std::string_view kErrorGuardar = "No se ha podido guardar una pagina temporal del informe.";
  /// Message recorded when a spooled page cannot be read back (it reads as an empty page).
  static constexpr std::string_view kErrorRecuperar = "No se ha podido recuperar una pagina temporal del informe.";
  /// Name prefix of every spool file, created in the system temporary directory.
  static constexpr std::string_view kSpoolPrefix = "vbk_ir_";

  /// Returns a new document of the given paper size in millimetres (numbers through ValueNumber).
  static std::shared_ptr<TDocumentoRenderizable> New(const Value& ancho = Value(), const Value& alto = Value());

  TDocumentoRenderizable() = default;
  TDocumentoRenderizable(const TDocumentoRenderizable&) = delete;
  TDocumentoRenderizable& operator=(const TDocumentoRenderizable&) = delete;
  /// Deletes every spool file still held, so a document dropped without End leaves no file behind.
  ~TDocumentoRenderizable() override;

  std::string_view ClassName() const override { return "TDocumentoRenderizable"; }
  bool RespondsTo(std::string_view name) const override;

  /// Sets the size and resets pages, spooling, totals, the error and the data tables.
  std::shared_ptr<TDocumentoRenderizable> Init(const Value& ancho = Value(), const Value& alto = Value());
  /// Resets pages, spooling, totals, the error and the data tables; keeps the size.
  std::shared_ptr<TDocumentoRenderizable> Create();
  /// Deletes every spool file and resets every member to its default (size 0, mode "fixed").
  Value End() override;

  std::shared_ptr<TDocumentoRenderizable> SetTamano(const Value& ancho, const Value& alto);
  /// "content" when mode is a string whose trimmed lower-case text is "content", else "fixed".
  std::shared_ptr<TDocumentoRenderizable> SetPaperHeightMode(const Value& mode);
  /// Switches spooling on (for good) and stores every page that is still in memory.
  std::shared_ptr<TDocumentoRenderizable> EnablePageSpooling();
  /// Spools automatically once the object total reaches limit (a number, integer part, 0 disables).
  std::shared_ptr<TDocumentoRenderizable> SetAutoPageSpooling(const Value& limit);
  Value IsPageSpooling() const;
  Value HasPageSpoolError() const;
  Value GetPageSpoolError() const;

  /// Appends the page {"objetos": objects} around the given array (an empty one for a non-array).
  Value AddPagina(const Value& objects);
  /// Replaces page n (1-based) by a page hash and adjusts the object total; true on success.
  Value SetPagina(const Value& n, const Value& page);
  /// Replaces page n's content without touching the object total; true on success.
  Value ActualizarContenidoPagina(const Value& n, const Value& page);
  /// Attaches text patches ({"nIndex", "uTexto"}) to a spooled page; false for an in-memory page.
  Value SetParchesTextoPagina(const Value& n, const Value& patches);
  /// Returns page n as {"objetos": [...]}; an empty page for a bad number. An in-memory page is the
  /// stored hash itself; a spooled page is rebuilt from its file with its patches applied.
  Value GetPagina(const Value& n);
  /// Returns every page: the live page list with spooling off, a new array of loaded pages with it on.
  Value GetPaginas();
  Value TotalPaginas() const;
  Value TotalObjetos() const;
  std::shared_ptr<TDocumentoRenderizable> SetDataTables(const Value& tables);
  Value GetDataTables() const;
  /// Returns the first data table hash whose "cId" equals id exactly, nil when none.
  Value GetDataTable(const Value& id) const;

  Value aPaginas = Value::NewArray();
  double nAncho = 0.0;
  double nAlto = 0.0;
  std::string cPaperHeightMode = "fixed";
  bool lPageSpooling = false;
  int64_t nTotalObjects = 0;
  int64_t nAutoSpoolObjectLimit = 0;
  std::string cSpoolError;
  Value aDataTables = Value::NewArray();

 private:
  /// The stub of page once written to the spool: over the slice of `replacing` (a stored page)
  /// when it fits there, else appended. When it cannot be written, page itself (it stays in memory).
  Value StorePage(const Value& page, const Value& replacing);
  Value LoadPage(const Value& entry);
  Value IsStoredPage(const Value& entry) const;

  /// Index (0-based) of page n when n is a number from 1 to the page count, else -1.
  int64_t PageIndex(const Value& n) const;
  /// Where a stub of this document says its page lies; nothing for anything else. Only files this
  /// document created are ever read, rewritten or deleted, so a page hash supplied by a caller
  /// that happens to carry "__vbPageFile" can never make it touch a file it does not own.
  std::optional<PageSpool::Slice> SpoolSlice(const Value& entry) const;
  void ResetContent();
  /// Replaces entry n by page, spooled when spooling is on; drops the old entry's patches.
  void ReplaceEntry(size_t index, const Value& page);

  PageSpool spool_{kSpoolPrefix};
  SerializeBuffer serialized_;
};

}  // namespace nv
