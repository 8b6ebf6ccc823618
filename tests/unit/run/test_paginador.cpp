// The paginating host: a template whose tables take several pages comes out as every page, every
// record placed once and in order, "Page X of Y" right on each page, totals carried over pages,
// long documents spooled, and a cancelled run giving no document.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "output/TDocumentoRenderizable.h"
#include "run/TPaginadorInforme.h"

using namespace nv;

namespace {

using Strings = std::vector<std::string>;

Value Json(const std::string& text) {
  bool ok = false;
  Value v = DecodeJson(text, ok);
  EXPECT_TRUE(ok) << text;
  return v;
}

/// Runtime data with the detail group "L": records {"N": i, "R": region(i), "C": city(i), "V": value(i)}.
Value Data(int n) {
  Value lines = Value::NewArray();
  for (int i = 1; i <= n; ++i) {
    Value r = Value::NewHash();
    r.Set("N", Value::Int(i));
    r.Set("R", Value(i <= n / 2 ? "Norte" : "Sur"));
    r.Set("C", Value("C" + std::to_string((i - 1) / 7)));
    r.Set("V", Value::Dbl(i * 1.25, 2));
    lines.Append(r);
  }
  Value groups = Value::NewHash();
  groups.Set("L", lines);
  Value data = Value::NewHash();
  data.Set("DetalleVar", groups);
  return data;
}

std::string Cell(int width, const std::string& formula) {
  return R"({"nWidth": )" + std::to_string(width) + R"(, "hContent": {"cType": "TText", "hObject": {"cText": ")" +
         formula + R"("}}})";
}

const std::string kPageText = R"J({"cType": "TText", "cId": "pagina", "nLeft": 10, "nTop": 280, "nWidth": 80,
    "nHeight": 6, "cText": "'Page ' + AllTrim(Str(Page())) + ' of ' + AllTrim(Str(TotalPages()))"})J";

std::string NumberTable(const std::string& id, int left, const std::string& extra = "") {
  return R"({"cType": "TTable", "cId": ")" + id + R"(", "nLeft": )" + std::to_string(left) +
         R"(, "nTop": 20, "nWidth": 60, "nHeight": 150)" + extra +
         R"(, "hSections": {"detail": {"aLines": [{"nHeight": 4, "aCells": [)" + Cell(60, "'#' + AllTrim(Str(L.N))") + "]}]}}}";
}

std::string Template(const std::string& objects, const std::string& extra = "") {
  return R"({"nPaperWidth": 210, "nPaperHeight": 297)" + extra + R"(, "aObjects": [)" + objects + "]}";
}

/// The texts of a page's text objects, in order.
Strings PageTexts(TDocumentoRenderizable& document, int64_t page) {
  Strings texts;
  const Value objects = HGet(document.GetPagina(Value::Int(page)), "objetos");
  for (const Value& o : objects.AsArray()) {
    if (ValueString(HGet(o, "tipo")) == "texto") texts.push_back(ValueString(HGet(o, "texto")));
  }
  return texts;
}

/// Every text starting with prefix, over all pages, in page order.
Strings AllWith(TDocumentoRenderizable& document, const std::string& prefix) {
  Strings found;
  for (int64_t p = 1; p <= ValueInt(document.TotalPaginas()); ++p) {
    for (const std::string& t : PageTexts(document, p)) {
      if (t.rfind(prefix, 0) == 0) found.push_back(t);
    }
  }
  return found;
}

Strings Numbered(int from, int to, const std::string& prefix = "#") {
  Strings out;
  for (int i = from; i <= to; ++i) out.push_back(prefix + std::to_string(i));
  return out;
}

bool Has(const Value& warnings, const std::string& start) {
  for (const Value& w : warnings.AsArray()) {
    if (ValueString(w).rfind(start, 0) == 0) return true;
  }
  return false;
}

}  // namespace

TEST(PaginadorInforme, PlacesEveryRecordOnceInOrderWithPageXOfY) {
  for (int64_t inMemory : {int64_t{1000000}, int64_t{50}}) {
    LimitesPaginador limits;
    limits.nObjetosEnMemoria = inMemory;
    auto run = TPaginadorInforme::Renderizar(Json(Template(NumberTable("t", 10) + "," + kPageText)), Data(100),
                                             Value::NewHash(), limits);
    ASSERT_TRUE(run.documento);
    TDocumentoRenderizable& document = *run.documento;
    EXPECT_EQ(document.IsPageSpooling().IsTrue(), inMemory == 50);
    ASSERT_EQ(ValueInt(document.TotalPaginas()), 3);  // 37 lines of 4 mm in a 150 mm body
    EXPECT_EQ(AllWith(document, "#"), Numbered(1, 100));
    EXPECT_EQ(AllWith(document, "Page "), Strings({"Page 1 of 3", "Page 2 of 3", "Page 3 of 3"}));
    EXPECT_DOUBLE_EQ(document.nAncho, 210.0);
    EXPECT_EQ(run.avisos.Len(), 0u) << EncodeJson(run.avisos);
    document.End();
  }
}

namespace {

// Regions hold cities; each city footer shows its sum, each region footer its own, the table
// footer the running total of every record placed so far.
std::string GroupTable(const std::string& detailCells = Cell(120, "'#' + AllTrim(Str(L.N))")) {
  return R"({"cType": "TTable", "cId": "g", "nLeft": 10, "nTop": 20, "nWidth": 120, "nHeight": 100,
      "hGroup": {"aBreakExpressions": ["L.R", "L.C"]},
      "hSections": {
        "groupHeader": {"aLines": [{"nHeight": 5, "cGroupExpression": "L.R", "aCells": [)" + Cell(120, "'Region ' + L.R") + R"(]},
                                   {"nHeight": 5, "cGroupExpression": "L.C", "aCells": [)" + Cell(120, "'City ' + L.C") + R"(]}]},
        "detail": {"aLines": [{"nHeight": 5, "aCells": [)" + detailCells + R"(]}]},
        "groupFooter": {"aLines": [
          {"nHeight": 5, "cGroupExpression": "L.C", "aResetAcumuladores": ["Ciudad"],
           "aCells": [)" + Cell(120, "'=C ' + L.C + ' ' + AllTrim(Transform(SUM.Ciudad, '999999.99'))") + R"(]},
          {"nHeight": 5, "cGroupExpression": "L.R", "aResetAcumuladores": ["Region"],
           "aCells": [)" + Cell(120, "'=R ' + L.R + ' ' + AllTrim(Transform(SUM.Region, '999999.99'))") + R"(]}]},
        "footer": {"aLines": [{"nHeight": 5, "aCells": [)" + Cell(120, "'=T ' + AllTrim(Transform(SUM.Total, '999999.99'))") + R"(]}]}}})";
}

const std::string kGroupSums = R"(, "hAcumVars": {"Ciudad": {"formula": "L.V"}, "Region": {"formula": "L.V"},
    "Total": {"formula": "L.V"}})";

}  // namespace

TEST(PaginadorInforme, TwoLevelGroupsCarryTheirTotalsOverPages) {
  const int n = 60;
  auto run = TPaginadorInforme::Renderizar(Json(Template(GroupTable(), kGroupSums)), Data(n), Value::NewHash());
  ASSERT_TRUE(run.documento);
  TDocumentoRenderizable& document = *run.documento;
  EXPECT_GT(ValueInt(document.TotalPaginas()), 3);
  EXPECT_EQ(AllWith(document, "#"), Numbered(1, n));

  // The same figures summed independently, in cents.
  std::map<std::string, int64_t> city, region;
  Strings cityOrder, regionOrder;
  int64_t total = 0;
  for (int i = 1; i <= n; ++i) {
    const std::string c = "C" + std::to_string((i - 1) / 7);
    const std::string r = i <= n / 2 ? "Norte" : "Sur";
    const int64_t cents = i * 125;
    if (city[c] == 0) cityOrder.push_back(c);
    if (region[r] == 0) regionOrder.push_back(r);
    city[c] += cents;
    region[r] += cents;
    total += cents;
  }
  auto money = [](int64_t cents) {
    return std::to_string(cents / 100) + "." + (cents % 100 < 10 ? "0" : "") + std::to_string(cents % 100);
  };
  Strings expectedCities, expectedRegions;
  for (const std::string& c : cityOrder) expectedCities.push_back("=C " + c + " " + money(city[c]));
  for (const std::string& r : regionOrder) expectedRegions.push_back("=R " + r + " " + money(region[r]));
  // City C4 spans both regions (records 29 to 35): its footer shows where the city changes, with
  // the whole city's sum.
  Strings cities = AllWith(document, "=C ");
  EXPECT_EQ(cities, expectedCities);
  EXPECT_EQ(AllWith(document, "=R "), expectedRegions);
  EXPECT_EQ(AllWith(document, "=T ").back(), "=T " + money(total));
  int64_t citySum = 0;
  for (const std::string& c : cities) {
    const std::string amount = c.substr(c.rfind(' ') + 1);
    citySum += std::stoll(amount.substr(0, amount.find('.'))) * 100 + std::stoll(amount.substr(amount.find('.') + 1));
  }
  EXPECT_EQ(citySum, total);
  document.End();
}

TEST(PaginadorInforme, ProgressCallbacksCancelTheWholeRun) {
  for (const char* which : {"bProgressRecord", "bProgressPage"}) {
    Value options = Value::NewHash();
    options.Set("lProgressActive", Value(true));
    int calls = 0;
    options.Set(which, Value::Block([&calls](std::span<const Value>) { return Value(++calls < 2); }));
    auto run = TPaginadorInforme::Renderizar(Json(Template(NumberTable("t", 10))), Data(100), options);
    EXPECT_FALSE(run.documento) << which;
    EXPECT_EQ(calls, 2) << which;
  }
}

TEST(PaginadorInforme, TwoTablesKeepTheirOwnContinuationsAndTimings) {
  // Both tables are called "t" and cut the same record: each must resume its own lines.
  const std::string cut = R"({"cType": "TTable", "cId": "t", "nLeft": %L, "nTop": 20, "nWidth": 60, "nHeight": 25,
      "hSections": {"detail": {"aLines": [%LINES]}}})";
  std::string lines;
  for (int k = 0; k < 3; ++k) {
    lines += std::string(k > 0 ? "," : "") + R"({"nHeight": 10, "lKeepTogether": false, "aCells": [)" +
             Cell(60, "'" + std::string(1, static_cast<char>('a' + k)) + "' + AllTrim(Str(L.N))") + "]}";
  }
  auto table = [&](int left) {
    std::string t = cut;
    t.replace(t.find("%L"), 2, std::to_string(left));
    t.replace(t.find("%LINES"), 6, lines);
    return t;
  };
  auto run = TPaginadorInforme::Renderizar(Json(Template(table(10) + "," + table(100))), Data(1), Value::NewHash());
  ASSERT_TRUE(run.documento);
  TDocumentoRenderizable& document = *run.documento;
  ASSERT_EQ(ValueInt(document.TotalPaginas()), 2);
  EXPECT_EQ(PageTexts(document, 1), Strings({"a1", "b1", "a1", "b1"}));
  EXPECT_EQ(PageTexts(document, 2), Strings({"c1", "c1"}));
  EXPECT_TRUE(Has(run.avisos, "Tabla con id vacio o repetido (t): su continuacion se guarda como t#2"));
  // The engine sums both tables' figures into its own: 2 records examined per page.
  EXPECT_EQ(ValueInt(HGet(run.rendimiento, "nTableRecordsExamined")), 4);
  document.End();
}

TEST(PaginadorInforme, StopsWithAWarningWhenARunPlacesNothing) {
  auto run = TPaginadorInforme::Renderizar(Json(Template(NumberTable("t", 10, R"(, "lVisible": false)"))), Data(10),
                                           Value::NewHash());
  ASSERT_TRUE(run.documento);
  EXPECT_EQ(ValueInt(run.documento->TotalPaginas()), 1);
  EXPECT_TRUE(Has(run.avisos, "Ninguna tabla ha colocado registros en la pagina 1: quedan 10 registros sin colocar"));
  run.documento->End();
}

TEST(PaginadorInforme, TemplatesWithoutTablesRunOnce) {
  auto run = TPaginadorInforme::Renderizar(Json(Template(kPageText)), Data(10), Value::NewHash());
  ASSERT_TRUE(run.documento);
  EXPECT_EQ(PageTexts(*run.documento, 1), Strings({"Page 1 of 1"}));
  run.documento->End();
}

namespace {

// A label sheet of 3 x 4 labels whose texts read the record, its neighbours' count and a data
// variable; with a chart of the records when asked.
Value LabelTemplate(bool withChart) {
  std::string objects = R"J({"cType": "TText", "cId": "n", "nLeft": 1, "nTop": 1, "nWidth": 40, "nHeight": 5,
      "cText": "'#' + AllTrim(Str(L.N)) + ' ' + L.R + ' ' + E.TITULO"})J";
  if (withChart) {
    objects += R"J(, {"cType": "TChart", "cId": "g", "nLeft": 1, "nTop": 8, "nWidth": 30, "nHeight": 15,
        "cChartKind": "bar", "hChartSpec": {"cCategoryFormula": "L.C", "cValueFormula": "L.V"}})J";
  }
  return Json(R"({"cDocumentKind": "label", "nPaperWidth": 210, "nPaperHeight": 297,
      "hLabelLayout": {"nLabelWidth": 60, "nLabelHeight": 30, "nColumns": 3, "nRows": 4, "cFlow": "row"},
      "aObjects": [)" + objects + "]}");
}

std::string Pages(const TPaginadorInforme::Resultado& run) {
  std::string all;
  if (!run.documento) return all;
  for (int64_t p = 1; p <= ValueInt(run.documento->TotalPaginas()); ++p) {
    all += EncodeJson(run.documento->GetPagina(Value::Int(p))) + "\n";
  }
  return all;
}

}  // namespace

TEST(PaginadorInforme, LabelsReadFromTheDataFileComeOutAsFromTheDecodedData) {
  Value data = Data(30);
  Value vars = Json(R"({"E": {"TITULO": {"tipo": "C", "valor": "Envio"}}})");
  data.Set("DataVar", vars);
  const std::string path = CreateTempFile("norvane_labels_", ".json");
  WriteFile(path, EncodeJson(data));
  for (bool withChart : {false, true}) {
    const Value tmpl = LabelTemplate(withChart);
    TPaginadorInforme::Resultado fromFile = TPaginadorInforme::RenderizarArchivo(tmpl, path, Value::NewHash());
    TPaginadorInforme::Resultado decoded = TPaginadorInforme::Renderizar(tmpl, data, Value::NewHash());
    ASSERT_TRUE(fromFile.documento && decoded.documento);
    EXPECT_EQ(ValueInt(fromFile.documento->TotalPaginas()), 3);
    const std::string pages = Pages(fromFile);
    EXPECT_EQ(pages, Pages(decoded)) << "chart " << withChart;
    EXPECT_NE(pages.find("#30 Sur Envio"), std::string::npos);
    EXPECT_EQ(EncodeJson(fromFile.avisos), EncodeJson(decoded.avisos));
    fromFile.documento->End();
    decoded.documento->End();
  }
  // A missing or malformed file runs on empty data: one label, as with no data.
  WriteFile(path, "{");
  TPaginadorInforme::Resultado empty = TPaginadorInforme::RenderizarArchivo(LabelTemplate(false), path, Value::NewHash());
  ASSERT_TRUE(empty.documento);
  EXPECT_EQ(ValueInt(empty.documento->TotalPaginas()), 1);
  empty.documento->End();
  DeleteFile(path);
}

TEST(PaginadorInforme, ReportsReadFromTheDataFileComeOutAsFromTheDecodedData) {
  // Groups cut over pages, the running Sum() of every record so far, page X of Y and a variable
  // of the data: the report that reads its records from the file one at a time prints the same
  // pages as the one that decoded the file whole.
  const int n = 60;
  Value data = Data(n);
  data.Set("DataVar", Json(R"({"E": {"TITULO": {"tipo": "C", "valor": "Ventas"}}})"));
  const std::string running = Cell(60, "'#' + AllTrim(Str(L.N))") + "," +
                              Cell(60, "'S ' + AllTrim(Transform(Sum(L.V), '999999.99'))");
  const std::string title = R"J({"cType": "TText", "cId": "titulo", "nLeft": 10, "nTop": 5, "nWidth": 80,
      "nHeight": 6, "cText": "E.TITULO + ' desde ' + AllTrim(Str(L.N))"})J";
  const Value tmpl = Json(Template(GroupTable(running) + "," + kPageText + "," + title, kGroupSums));
  const std::string path = CreateTempFile("norvane_report_", ".json");
  WriteFile(path, EncodeJson(data));
  for (int64_t inMemory : {int64_t{1000000}, int64_t{40}}) {
    LimitesPaginador limits;
    limits.nObjetosEnMemoria = inMemory;
    auto fromFile = TPaginadorInforme::RenderizarArchivo(tmpl, path, Value::NewHash(), limits);
    auto decoded = TPaginadorInforme::Renderizar(tmpl, data, Value::NewHash(), limits);
    ASSERT_TRUE(fromFile.documento && decoded.documento);
    EXPECT_EQ(AllWith(*fromFile.documento, "#"), Numbered(1, n));
    const Strings sums = AllWith(*fromFile.documento, "S ");
    ASSERT_EQ(sums.size(), static_cast<size_t>(n));
    EXPECT_EQ(sums.back(), "S 2287.50");  // 1.25 * (1 + ... + 60)
    EXPECT_EQ(AllWith(*fromFile.documento, "Ventas desde 1").size(),
              static_cast<size_t>(ValueInt(fromFile.documento->TotalPaginas())));
    EXPECT_EQ(Pages(fromFile), Pages(decoded)) << "spool limit " << inMemory;
    EXPECT_EQ(EncodeJson(fromFile.avisos), EncodeJson(decoded.avisos));
    fromFile.documento->End();
    decoded.documento->End();
  }

  // A file whose first detail key holds no record: the table finds its records under a later key,
  // which only the whole data shows, so the file is read whole.
  const Value fallback = Json(R"({"lineasTabla": [1, 2], "detalle": [{"L.N": 1}, {"L.N": 2}, {"L.N": 3}]})");
  WriteFile(path, EncodeJson(fallback));
  const Value numbers = Json(Template(NumberTable("t", 10)));
  auto fromFile = TPaginadorInforme::RenderizarArchivo(numbers, path, Value::NewHash());
  ASSERT_TRUE(fromFile.documento);
  EXPECT_EQ(AllWith(*fromFile.documento, "#"), Numbered(1, 3));
  fromFile.documento->End();
  DeleteFile(path);
}

TEST(PaginadorInforme, AReportWhoseFileIsCutDuringTheRunKeepsItsPagesAndSaysSo) {
  // The records are read from the file as the table reaches them: cut after the first page, the
  // file can't give the rest, which print as empty lines, counted in a warning.
  const std::string path = CreateTempFile("norvane_cut_", ".json");
  WriteFile(path, EncodeJson(Data(100)));
  Value options = Value::NewHash();
  options.Set("lProgressActive", Value(true));
  options.Set("bProgressPage", Value::Block([&path](std::span<const Value>) {
                WriteFile(path, "{}");
                return Value(true);
              }));
  auto run = TPaginadorInforme::RenderizarArchivo(Json(Template(NumberTable("t", 10))), path, options);
  DeleteFile(path);
  ASSERT_TRUE(run.documento);
  EXPECT_EQ(ValueInt(run.documento->TotalPaginas()), 3);
  const Strings numbered = AllWith(*run.documento, "#");
  ASSERT_GE(numbered.size(), 37u);
  EXPECT_EQ(Strings(numbered.begin(), numbered.begin() + 37), Numbered(1, 37));
  bool warned = false;
  for (const Value& w : run.avisos.AsArray()) {
    const std::string text = ValueString(w);
    const size_t at = text.find(" registros del fichero de datos no se han podido leer: sus lineas salen vacias");
    warned = warned || (at != std::string::npos && at > 0 && std::stoi(text.substr(0, at)) > 50);
  }
  EXPECT_TRUE(warned) << EncodeJson(run.avisos);
  run.documento->End();
}
