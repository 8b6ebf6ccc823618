#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "TDocumentoRenderizable.h"
#include "Value.h"

using namespace nv;

namespace {

// Points TMPDIR at a fresh private directory for one test, so spool files can be counted exactly.
class SpoolDir {
 public:
  SpoolDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "norvane_spool_XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    path_ = mkdtemp(buffer.data());
    const char* old = std::getenv("TMPDIR");
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    setenv("TMPDIR", path_.c_str(), 1);
  }
  ~SpoolDir() {
    if (hadOld_) setenv("TMPDIR", old_.c_str(), 1);
    else unsetenv("TMPDIR");
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }
  int SpoolFiles() const {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      if (entry.path().filename().string().rfind("vbk_ir_", 0) == 0) ++count;
    }
    return count;
  }

 private:
  std::string path_;
  std::string old_;
  bool hadOld_ = false;
};

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
  EXPECT_EQ(dir.SpoolFiles(), 2);
  EXPECT_FALSE(doc->HasPageSpoolError().AsBool());
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
  EXPECT_EQ(dir.SpoolFiles(), 3);
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

  // Replacing the page rewrites its file in place and drops its patches.
  std::string path = SpoolPath(*doc, 1);
  Value replacement = Value::NewHash();
  replacement.Set("objetos", Objects(1, "r"));
  EXPECT_TRUE(doc->SetPagina(Value::Int(1), replacement).AsBool());
  EXPECT_EQ(SpoolPath(*doc, 1), path);
  EXPECT_FALSE(doc->aPaginas.Item(1).Has("__vbTextPatches"));
  EXPECT_EQ(ValueInt(doc->TotalObjetos()), 1);
  EXPECT_EQ(ValueString(doc->GetPagina(Value::Int(1))["objetos"].Item(1)["texto"]), "texto 1");
  EXPECT_EQ(dir.SpoolFiles(), 1);
}

TEST(RenderedDocument, DroppedDocumentLeavesNoSpoolFile) {
  SpoolDir dir;
  {
    auto doc = TDocumentoRenderizable::New(Value::Int(10), Value::Int(10));
    doc->Create()->EnablePageSpooling();
    for (int i = 0; i < 5; ++i) doc->AddPagina(Objects(2));
    EXPECT_EQ(dir.SpoolFiles(), 5);
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
  EXPECT_EQ(doc->GetPagina(Value::Int(2))["objetos"].Len(), 1u);

  // A file that no longer holds a page reads back the same way.
  ASSERT_TRUE(WriteFile(SpoolPath(*doc, 2), "garbage"));
  doc->cSpoolError.clear();
  EXPECT_EQ(doc->GetPagina(Value::Int(2))["objetos"].Len(), 0u);
  EXPECT_TRUE(doc->HasPageSpoolError().AsBool());
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
