#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "output/TDocumentoRenderizable.h"
#include "Value.h"
#include "spool_test_support.h"

using namespace nv;
using nv::testing_support::SpoolDir;

namespace {

Value Text(const std::string& id, const std::string& texto) {
  Value o = Value::NewHash();
  o.Set("id", id);
  o.Set("tipo", "texto");
  o.Set("texto", texto);
  o.Set("x", Value(1.5));
  o.Set("y", Value::Int(2));
  return o;
}

Value Objects(int n, const std::string& prefix = "o") {
  Value list = Value::NewArray();
  for (int i = 1; i <= n; ++i) list.Append(Text(prefix + std::to_string(i), "texto " + std::to_string(i)));
  return list;
}

std::string SpoolPath(const TDocumentoRenderizable& doc, size_t page) {
  return ValueString(HGet(doc.aPaginas.Item(page), "__vbPageFile"));
}

}  // namespace

TEST(RenderedDocument, PagesSizeModeAndBadPageNumbers) {
  auto doc = TDocumentoRenderizable::New(Value("80,5"), Value::Int(50));
  doc->Create()->SetPaperHeightMode(Value("  CONTENT "));
  EXPECT_DOUBLE_EQ(doc->nAncho, 80.5);
  EXPECT_DOUBLE_EQ(doc->nAlto, 50.0);
  EXPECT_EQ(doc->cPaperHeightMode, "content");
  doc->SetPaperHeightMode(Value::Int(1));
  EXPECT_EQ(doc->cPaperHeightMode, "fixed");

  Value objects = Objects(2);
  doc->AddPagina(objects);
  doc->AddPagina(Value("not a list"));
  EXPECT_EQ(ValueInt(doc->TotalPaginas()), 2);
  EXPECT_EQ(ValueInt(doc->TotalObjetos()), 2);
  // An in-memory page is the stored hash around the very array that was added.
  Value page1 = doc->GetPagina(Value::Int(1));
  EXPECT_TRUE(page1["objetos"].SameRef(objects));
  EXPECT_EQ(doc->GetPagina(Value::Int(2))["objetos"].Len(), 0u);
  EXPECT_TRUE(doc->GetPaginas().SameRef(doc->aPaginas));

  for (const Value& bad : {Value::Int(0), Value::Int(3), Value("1"), Value()}) {
    Value page = doc->GetPagina(bad);
    ASSERT_TRUE(page.IsHash());
    EXPECT_EQ(page.Len(), 1u);
    EXPECT_EQ(page["objetos"].Len(), 0u);
  }
  EXPECT_FALSE(doc->SetPagina(Value::Int(3), Value::NewHash()).AsBool());
  EXPECT_FALSE(doc->SetPagina(Value::Int(1), Value("x")).AsBool());
  EXPECT_FALSE(doc->ActualizarContenidoPagina(Value::Int(0), Value::NewHash()).AsBool());
}

TEST(RenderedDocument, SetPaginaAdjustsTotalActualizarDoesNot) {
  auto doc = TDocumentoRenderizable::New(Value::Int(10), Value::Int(10));
  doc->Create();
  doc->AddPagina(Objects(4));
  doc->AddPagina(Objects(2));
  Value replacement = Value::NewHash();
  replacement.Set("objetos", Objects(1));
  EXPECT_TRUE(doc->SetPagina(Value::Int(1), replacement).AsBool());
  EXPECT_EQ(ValueInt(doc->TotalObjetos()), 3);
  Value content = Value::NewHash();
  content.Set("objetos", Objects(5));
  EXPECT_TRUE(doc->ActualizarContenidoPagina(Value::Int(2), content).AsBool());
  EXPECT_EQ(ValueInt(doc->TotalObjetos()), 3);
  EXPECT_EQ(doc->GetPagina(Value::Int(2))["objetos"].Len(), 5u);
}

TEST(RenderedDocument, AutomaticSpoolingAtLimitStoresAllPagesLosslessly) {
  SpoolDir dir;
  auto doc = TDocumentoRenderizable::New(Value::Int(210), Value::Int(297));
  doc->Create()->SetAutoPageSpooling(Value(3.7));
  EXPECT_EQ(doc->nAutoSpoolObjectLimit, 3);

  Value first = Objects(2, "a");
  first.Item(1).Set("fecha", MakeDate(2024, 2, 29));
  first.Item(1).Set("importe", Value::Dbl(12.5, 2));
  first.Item(1).Set("nada", Value());
  first.Item(1).Set("marcas", Value::FromArray({Value(true), Value::Int(-7), Value(std::string("\xff\x00z", 3))}));
  doc->AddPagina(first);
  EXPECT_FALSE(doc->IsPageSpooling().AsBool());
  EXPECT_EQ(dir.SpoolFiles(), 0);

  doc->AddPagina(Objects(1, "b"));
  EXPECT_TRUE(doc->IsPageSpooling().AsBool());
  EXPECT_EQ(ValueInt(doc->TotalObjetos()), 3);
  // Both pages lie one after the other in one spool file.
  EXPECT_EQ(dir.SpoolFiles(), 1);
  EXPECT_FALSE(doc->HasPageSpoolError().AsBool());
  EXPECT_EQ(SpoolPath(*doc, 1), SpoolPath(*doc, 2));
  EXPECT_EQ(ValueInt(HGet(doc->aPaginas.Item(1), "__vbPageOffset")), 0);
  EXPECT_EQ(ValueInt(HGet(doc->aPaginas.Item(2), "__vbPageOffset")),
            ValueInt(HGet(doc->aPaginas.Item(1), "__vbPageBytes")));
  for (size_t i = 1; i <= 2; ++i) {
    const Value& stub = doc->aPaginas.Item(i);
    EXPECT_FALSE(stub.Has("objetos"));
    std::string path = SpoolPath(*doc, i);
    EXPECT_EQ(path.rfind(dir.Path() + "/vbk_ir_", 0), 0u) << path;
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
  }

  Value pages = doc->GetPaginas();
  ASSERT_EQ(pages.Len(), 2u);
  EXPECT_FALSE(pages.SameRef(doc->aPaginas));
  EXPECT_EQ(LiteralText(pages.Item(1)["objetos"]), LiteralText(first));
  const Value& loaded = pages.Item(1)["objetos"].Item(1);
  EXPECT_EQ(loaded["importe"].AsNumber().decimals, 2);
  EXPECT_EQ(loaded["fecha"].AsDate().day, MakeDate(2024, 2, 29).day);
  EXPECT_TRUE(loaded["nada"].IsNil());
  EXPECT_EQ(loaded["marcas"].Item(3).AsString(), std::string("\xff\x00z", 3));
  EXPECT_EQ(ValueString(pages.Item(2)["objetos"].Item(1)["id"]), "b1");

  // Pages added after the switch go straight to disk.
  doc->AddPagina(Objects(1, "c"));
  EXPECT_EQ(dir.SpoolFiles(), 1);
  EXPECT_EQ(ValueString(doc->GetPagina(Value::Int(3))["objetos"].Item(1)["id"]), "c1");
  doc->End();
  EXPECT_EQ(dir.SpoolFiles(), 0);
  EXPECT_EQ(ValueInt(doc->TotalPaginas()), 0);
  EXPECT_FALSE(doc->IsPageSpooling().AsBool());
  EXPECT_EQ(doc->nAncho, 0.0);
}

TEST(RenderedDocument, TextPatchesApplyOnlyToStoredPagesAtEveryLoad) {
  SpoolDir dir;
  auto doc = TDocumentoRenderizable::New(Value::Int(10), Value::Int(10));
  doc->Create();
  Value objects = Objects(3);
  objects.Append(Value("not a hash"));
  doc->AddPagina(objects);

  Value patches = Value::NewArray();
  auto patch = [&](Value index, Value text) {
    Value p = Value::NewHash();
    p.Set("nIndex", std::move(index));
    p.Set("uTexto", std::move(text));
    patches.Append(p);
  };
  patch(Value::Int(2), Value("Pagina 1 de 9"));
  patch(Value::Int(0), Value("cero"));
  patch(Value::Int(5), Value("fuera"));
  patch(Value("1"), Value("texto no numerico"));
  patch(Value::Int(4), Value("no es hash"));
  patch(Value(3.9), Value::Int(42));
  patch(Value::Int(2), Value("Pagina 1 de 2"));
  patches.Append(Value("not a patch"));

  EXPECT_FALSE(doc->SetParchesTextoPagina(Value::Int(1), patches).AsBool());
  doc->EnablePageSpooling();
  EXPECT_FALSE(doc->SetParchesTextoPagina(Value::Int(1), Value("x")).AsBool());
  EXPECT_FALSE(doc->SetParchesTextoPagina(Value::Int(2), patches).AsBool());
  EXPECT_TRUE(doc->SetParchesTextoPagina(Value::Int(1), patches).AsBool());

  for (int load = 0; load < 2; ++load) {
    Value page = doc->GetPagina(Value::Int(1));
    const Value& list = page["objetos"];
    ASSERT_EQ(list.Len(), 4u);
    EXPECT_EQ(ValueString(list.Item(1)["texto"]), "texto 1");
    EXPECT_EQ(ValueString(list.Item(2)["texto"]), "Pagina 1 de 2");
    EXPECT_EQ(ValueInt(list.Item(3)["texto"]), 42);
    EXPECT_EQ(ValueString(list.Item(4)), "not a hash");
    // Patching a loaded copy does not reach the file: the next load starts from the stored page.
    list.Item(1).Set("texto", "changed in memory");
  }
  EXPECT_FALSE(doc->HasPageSpoolError().AsBool());

  // Replacing the page with a smaller one rewrites its bytes in place and drops its patches.
  std::string path = SpoolPath(*doc, 1);
  Value replacement = Value::NewHash();
  replacement.Set("objetos", Objects(1, "r"));
  EXPECT_TRUE(doc->SetPagina(Value::Int(1), replacement).AsBool());
  EXPECT_EQ(SpoolPath(*doc, 1), path);
  EXPECT_EQ(ValueInt(HGet(doc->aPaginas.Item(1), "__vbPageOffset")), 0);
  EXPECT_FALSE(doc->aPaginas.Item(1).Has("__vbTextPatches"));
  EXPECT_EQ(ValueInt(doc->TotalObjetos()), 1);
  EXPECT_EQ(ValueString(doc->GetPagina(Value::Int(1))["objetos"].Item(1)["texto"]), "texto 1");
  EXPECT_EQ(dir.SpoolFiles(), 1);
}

TEST(RenderedDocument, ReplacedPagesNeverOverwriteTheirNeighbours) {
  SpoolDir dir;
  auto doc = TDocumentoRenderizable::New(Value::Int(10), Value::Int(10));
  doc->Create()->EnablePageSpooling();
  for (const char* prefix : {"a", "b", "c"}) doc->AddPagina(Objects(2, prefix));

  // A page that grows no longer fits its old place: it goes to the end, its neighbours stay whole.
  Value larger = Value::NewHash();
  larger.Set("objetos", Objects(6, "g"));
  ASSERT_TRUE(doc->ActualizarContenidoPagina(Value::Int(2), larger).AsBool());
  EXPECT_GT(ValueInt(HGet(doc->aPaginas.Item(2), "__vbPageOffset")),
            ValueInt(HGet(doc->aPaginas.Item(3), "__vbPageOffset")));
  // Shrinking it again reuses its new place.
  Value smaller = Value::NewHash();
  smaller.Set("objetos", Objects(1, "s"));
  const int64_t grownAt = ValueInt(HGet(doc->aPaginas.Item(2), "__vbPageOffset"));
  ASSERT_TRUE(doc->SetPagina(Value::Int(2), smaller).AsBool());
  EXPECT_EQ(ValueInt(HGet(doc->aPaginas.Item(2), "__vbPageOffset")), grownAt);

  Value pages = doc->GetPaginas();
  ASSERT_EQ(pages.Len(), 3u);
  EXPECT_EQ(LiteralText(pages.Item(1)["objetos"]), LiteralText(Objects(2, "a")));
  EXPECT_EQ(LiteralText(pages.Item(2)["objetos"]), LiteralText(Objects(1, "s")));
  EXPECT_EQ(LiteralText(pages.Item(3)["objetos"]), LiteralText(Objects(2, "c")));
  // ActualizarContenidoPagina left the total at 6; SetPagina then took the 6 objects of the grown page.
  EXPECT_EQ(ValueInt(doc->TotalObjetos()), 1);
  EXPECT_FALSE(doc->HasPageSpoolError().AsBool());
}

TEST(RenderedDocument, EditedStubPositionsReadAsLostPages) {
  SpoolDir dir;
  auto doc = TDocumentoRenderizable::New(Value::Int(10), Value::Int(10));
  doc->Create()->EnablePageSpooling();
  doc->AddPagina(Objects(2, "a"));
  doc->AddPagina(Objects(2, "b"));
  const Value& stub = doc->aPaginas.Item(1);
  const int64_t bytes = ValueInt(HGet(stub, "__vbPageBytes"));

  struct Edit {
    Value offset, bytes;
  };
  for (const Edit& edit : {Edit{Value::Int(0), Value::Int(int64_t{1} << 50)}, Edit{Value::Int(-1), Value::Int(bytes)},
                           Edit{Value::Int(int64_t{1} << 40), Value::Int(bytes)}, Edit{Value("0"), Value::Int(bytes)},
                           Edit{Value::Int(0), Value(2.5)}, Edit{Value::Int(1), Value::Int(bytes)}}) {
    stub.Set("__vbPageOffset", edit.offset);
    stub.Set("__vbPageBytes", edit.bytes);
    doc->cSpoolError.clear();
    EXPECT_EQ(doc->GetPagina(Value::Int(1))["objetos"].Len(), 0u) << LiteralText(stub);
    EXPECT_EQ(ValueString(doc->GetPageSpoolError()), "No se ha podido recuperar una pagina temporal del informe.");
    // Replacing the page through an edited stub writes the new page elsewhere, never over page 2.
    Value page = Value::NewHash();
    page.Set("objetos", Objects(1, "n"));
    ASSERT_TRUE(doc->ActualizarContenidoPagina(Value::Int(1), page).AsBool());
    EXPECT_EQ(LiteralText(doc->GetPagina(Value::Int(1))["objetos"]), LiteralText(Objects(1, "n")));
    EXPECT_EQ(LiteralText(doc->GetPagina(Value::Int(2))["objetos"]), LiteralText(Objects(2, "b")));
  }
}

TEST(RenderedDocument, DroppedDocumentLeavesNoSpoolFile) {
  SpoolDir dir;
  {
    auto doc = TDocumentoRenderizable::New(Value::Int(10), Value::Int(10));
    doc->Create()->EnablePageSpooling();
    for (int i = 0; i < 5; ++i) doc->AddPagina(Objects(2));
    EXPECT_EQ(dir.SpoolFiles(), 1);
  }
  EXPECT_EQ(dir.SpoolFiles(), 0);

  // Create and Init start over without orphaning the files of the pages they drop.
  auto doc = TDocumentoRenderizable::New(Value::Int(10), Value::Int(10));
  doc->Create()->EnablePageSpooling();
  doc->AddPagina(Objects(1));
  doc->Create();
  EXPECT_EQ(dir.SpoolFiles(), 0);
  EXPECT_FALSE(doc->IsPageSpooling().AsBool());
}

TEST(RenderedDocument, VanishedSpoolFileIsAFailedRecovery) {
  SpoolDir dir;
  auto doc = TDocumentoRenderizable::New(Value::Int(10), Value::Int(10));
  doc->Create()->EnablePageSpooling();
  doc->AddPagina(Objects(2));
  doc->AddPagina(Objects(1));
  ASSERT_TRUE(DeleteFile(SpoolPath(*doc, 1)));

  Value page = doc->GetPagina(Value::Int(1));
  EXPECT_FALSE(page.Has("__vbPageFile"));
  EXPECT_EQ(page["objetos"].Len(), 0u);
  EXPECT_TRUE(doc->HasPageSpoolError().AsBool());
  EXPECT_EQ(ValueString(doc->GetPageSpoolError()), "No se ha podido recuperar una pagina temporal del informe.");
  EXPECT_FALSE(doc->SetParchesTextoPagina(Value::Int(1), Value::NewArray()).AsBool());
  // The second page lay in the same file: it is gone with it.
  doc->cSpoolError.clear();
  EXPECT_EQ(doc->GetPagina(Value::Int(2))["objetos"].Len(), 0u);
  EXPECT_TRUE(doc->HasPageSpoolError().AsBool());

  // A file that no longer holds the page where its stub says reads back the same way.
  ASSERT_TRUE(WriteFile(SpoolPath(*doc, 2), "garbage that is long enough to cover both pages....."));
  doc->cSpoolError.clear();
  EXPECT_EQ(doc->GetPagina(Value::Int(2))["objetos"].Len(), 0u);
  EXPECT_TRUE(doc->HasPageSpoolError().AsBool());

  // Pages added after the loss go to a new file and read back whole.
  doc->AddPagina(Objects(3, "n"));
  EXPECT_NE(SpoolPath(*doc, 3), SpoolPath(*doc, 2));
  EXPECT_EQ(LiteralText(doc->GetPagina(Value::Int(3))["objetos"]), LiteralText(Objects(3, "n")));
}

TEST(RenderedDocument, UnwritableSpoolDirectoryKeepsPagesInMemory) {
  SpoolDir dir;
  auto doc = TDocumentoRenderizable::New(Value::Int(10), Value::Int(10));
  doc->Create();
  doc->AddPagina(Objects(2));
  setenv("TMPDIR", (dir.Path() + "/missing").c_str(), 1);
  doc->EnablePageSpooling();
  doc->AddPagina(Objects(3));
  EXPECT_TRUE(doc->IsPageSpooling().AsBool());
  EXPECT_EQ(ValueString(doc->GetPageSpoolError()), "No se ha podido guardar una pagina temporal del informe.");
  EXPECT_EQ(ValueInt(doc->TotalObjetos()), 5);
  Value pages = doc->GetPaginas();
  ASSERT_EQ(pages.Len(), 2u);
  EXPECT_EQ(pages.Item(1)["objetos"].Len(), 2u);
  EXPECT_EQ(pages.Item(2)["objetos"].Len(), 3u);
  EXPECT_EQ(dir.SpoolFiles(), 0);
}

// Lowers the largest file size this process may write, as a full disk would stop a write midway.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // report EFBIG instead of ending the process
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit old_{};
  void (*previousHandler_)(int) = nullptr;
};

TEST(RenderedDocument, PageCutOffByAFullFileStaysInMemoryAndLosesNoOtherPage) {
  SpoolDir dir;
  auto doc = TDocumentoRenderizable::New(Value::Int(10), Value::Int(10));
  doc->Create()->EnablePageSpooling();
  doc->AddPagina(Objects(2, "a"));
  doc->AddPagina(Objects(2, "b"));
  const std::string first = SpoolPath(*doc, 1);
  const auto twoPages = static_cast<rlim_t>(ValueInt(HGet(doc->aPaginas.Item(2), "__vbPageOffset")) +
                                            ValueInt(HGet(doc->aPaginas.Item(2), "__vbPageBytes")));
  {
    FileSizeLimit limit(twoPages + 10);
    doc->AddPagina(Objects(3, "c"));  // only its first ten bytes fit
    EXPECT_EQ(ValueString(doc->GetPageSpoolError()), "No se ha podido guardar una pagina temporal del informe.");
    EXPECT_TRUE(doc->aPaginas.Item(3).Has("objetos"));
    EXPECT_EQ(static_cast<rlim_t>(std::filesystem::file_size(first)), twoPages);  // the partial page is cut off
    doc->AddPagina(Objects(1, "d"));  // goes to a fresh file, where it fits
  }
  EXPECT_EQ(dir.SpoolFiles(), 2);
  EXPECT_NE(SpoolPath(*doc, 4), first);
  Value pages = doc->GetPaginas();
  ASSERT_EQ(pages.Len(), 4u);
  EXPECT_EQ(LiteralText(pages.Item(1)["objetos"]), LiteralText(Objects(2, "a")));
  EXPECT_EQ(LiteralText(pages.Item(2)["objetos"]), LiteralText(Objects(2, "b")));
  EXPECT_EQ(LiteralText(pages.Item(3)["objetos"]), LiteralText(Objects(3, "c")));
  EXPECT_EQ(LiteralText(pages.Item(4)["objetos"]), LiteralText(Objects(1, "d")));
  EXPECT_EQ(ValueInt(doc->TotalObjetos()), 8);
  doc->End();
  EXPECT_EQ(dir.SpoolFiles(), 0);
}

TEST(RenderedDocument, CallerPageNamingAFileIsNeverReadNorDeleted) {
  SpoolDir dir;
  std::string foreign = dir.Path() + "/vbk_ir_foreign";
  ASSERT_TRUE(WriteFile(foreign, "keep me"));
  {
    auto doc = TDocumentoRenderizable::New(Value::Int(10), Value::Int(10));
    doc->Create();
    doc->AddPagina(Objects(1));
    Value page = Value::NewHash();
    page.Set("__vbPageFile", foreign);
    page.Set("objetos", Objects(2));
    ASSERT_TRUE(doc->SetPagina(Value::Int(1), page).AsBool());
    EXPECT_TRUE(doc->GetPagina(Value::Int(1)).SameRef(page));
    doc->End();
  }
  EXPECT_EQ(ReadBinaryFile(foreign), "keep me");
}

TEST(RenderedDocument, DataTablesAndAutoLimitKinds) {
  auto doc = TDocumentoRenderizable::New();
  doc->Create();
  Value tables = Value::NewArray();
  Value t1 = Value::NewHash();
  t1.Set("cId", "ventas");
  Value t2 = Value::NewHash();
  t2.Set("cId", "VENTAS");
  tables.Append(Value("skip"));
  tables.Append(t2);
  tables.Append(t1);
  doc->SetDataTables(tables);
  EXPECT_TRUE(doc->GetDataTable(Value("ventas")).SameRef(t1));
  EXPECT_TRUE(doc->GetDataTable(Value("otra")).IsNil());
  doc->SetDataTables(Value("x"));
  EXPECT_EQ(doc->GetDataTables().Len(), 0u);

  doc->SetAutoPageSpooling(Value::Int(5));
  doc->SetAutoPageSpooling(Value("9"));
  EXPECT_EQ(doc->nAutoSpoolObjectLimit, 5);
  doc->SetAutoPageSpooling(Value::Int(-4));
  EXPECT_EQ(doc->nAutoSpoolObjectLimit, 0);
}
