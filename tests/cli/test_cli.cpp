// Runs the norvane program on the examples and on bad input, and checks exit codes, messages and
// the parsed JSON it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "cli_support.h"

using namespace nv;
using namespace nv::clitest;

namespace {

size_t CountObjectsOfKind(const Value& page, const std::string& tipo) {
  size_t count = 0;
  const Value objects = HGet(page, "objetos");
  if (!objects.IsArray()) return 0;
  for (const Value& object : objects.AsArray()) {
    if (ValueString(HGet(object, "tipo")) == tipo) ++count;
  }
  return count;
}

}  // namespace

TEST(CliRender, LabelSheetExamplePlacesFiftyLabelsOnThreeSheets) {
  CliRun run = Norvane({"render", Example("labels/template.json"), "--data", Example("labels/data.json")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ASSERT_TRUE(run.json.IsHash()) << run.out.substr(0, 400);
  Value pages = HGet(run.json, "paginas");
  ASSERT_EQ(pages.Len(), 3u);  // 24 labels a sheet: 24 + 24 + 2
  size_t barcodes = 0;
  for (const Value& page : pages.AsArray()) barcodes += CountObjectsOfKind(page, "barcode");
  EXPECT_EQ(barcodes, 50u);
  EXPECT_EQ(CountObjectsOfKind(pages.Item(3), "barcode"), 2u);
  Value first = HGet(pages.Item(1), "objetos").Item(1);
  for (const char* key : {"id", "tipo", "x", "y", "ancho", "alto", "debugEtiqueta"}) {
    EXPECT_TRUE(HHas(first, key)) << key;
  }
  // Record 3 has no second address line: its city line closes up by one flow line (4.5 mm).
  double cityY[4] = {0, 0, 0, 0};
  for (const Value& object : HGet(pages.Item(1), "objetos").AsArray()) {
    int64_t record = ValueInt(HGet(HGet(object, "debugEtiqueta"), "nRegistro"));
    if (ValueString(HGet(object, "id")) == "ciudad" && record >= 1 && record <= 3) cityY[record] = ValueDouble(HGet(object, "y"));
  }
  EXPECT_DOUBLE_EQ(cityY[2], 16.5);
  EXPECT_DOUBLE_EQ(cityY[3], 12.0);
  EXPECT_DOUBLE_EQ(ValueDouble(HGet(run.json, "ancho")), 210.0);
  EXPECT_TRUE(HGet(run.json, "rendimiento").IsHash());
  EXPECT_EQ(HGet(run.json, "avisos").Len(), 0u) << EncodeJson(HGet(run.json, "avisos"));
}

TEST(CliRender, InvoiceExamplePrintsEveryPageWithItsLinesSubtotalsAndTotal) {
  CliRun run = Norvane({"render", Example("invoice/template.json"), "--data", Example("invoice/data.json")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ASSERT_TRUE(run.json.IsHash()) << run.out.substr(0, 400);
  Value pages = HGet(run.json, "paginas");
  ASSERT_EQ(pages.Len(), 10u);

  // The totals the invoice must show, summed here from the data file in cents.
  bool ok = false;
  Value data = DecodeJson(ReadBinaryFile(Example("invoice/data.json")), ok);
  ASSERT_TRUE(ok);
  std::vector<std::string> sections;
  std::vector<int64_t> sectionCents;
  int64_t totalCents = 0;
  for (const Value& line : HGet(HGet(data, "DetalleVar"), "LINEAS").AsArray()) {
    const std::string section = ValueString(HGet(line, "SECCION"));
    const auto cents = static_cast<int64_t>(std::llround(ValueDouble(HGet(line, "IMPORTE")) * 100));
    if (sections.empty() || sections.back() != section) {
      sections.push_back(section);
      sectionCents.push_back(0);
    }
    sectionCents.back() += cents;
    totalCents += cents;
  }
  auto euros = [](int64_t cents) {  // the '@E 999,999.99' form: 138.529,77
    std::string whole = std::to_string(cents / 100);
    for (int at = static_cast<int>(whole.size()) - 3; at > 0; at -= 3) whole.insert(static_cast<size_t>(at), ".");
    return whole + "," + (cents % 100 < 10 ? "0" : "") + std::to_string(cents % 100);
  };

  std::vector<std::string> codes, subtotals, pageTexts;
  std::string lastTotal;
  for (size_t p = 1; p <= pages.Len(); ++p) {
    const Value page = pages.Item(p);
    EXPECT_EQ(CountObjectsOfKind(page, "barcode"), 1u) << p;
    bool header = false;
    std::string pendingSubtotal;
    for (const Value& object : HGet(page, "objetos").AsArray()) {
      const std::string text = ValueString(HGet(object, "texto"));
      const std::string id = ValueString(HGet(object, "id"));
      if (text == "Descripcion") header = true;
      if (id.find("_detail_") != std::string::npos && id.size() > 7 && id.substr(id.size() - 7) == "_0_text") {
        codes.push_back(text);
      }
      if (text.rfind("Pagina ", 0) == 0) pageTexts.push_back(text);
      if (id.find("_groupFooter_") != std::string::npos && id.size() > 7 && id.substr(id.size() - 7) == "_1_text") {
        subtotals.push_back(text);
      }
      if (id == "lineas_footer_0_1_text") lastTotal = text;
    }
    EXPECT_TRUE(header) << "page " << p << " repeats the table header";
  }
  ASSERT_EQ(codes.size(), 300u);
  for (size_t i = 0; i < codes.size(); ++i) {
    std::string number = std::to_string(i + 1);
    EXPECT_EQ(codes[i], "A" + std::string(4 - number.size(), '0') + number);
  }
  ASSERT_EQ(subtotals.size(), sections.size());
  for (size_t k = 0; k < sections.size(); ++k) EXPECT_EQ(subtotals[k], euros(sectionCents[k])) << sections[k];
  EXPECT_EQ(lastTotal, euros(totalCents));
  for (size_t p = 1; p <= pageTexts.size(); ++p) {
    EXPECT_EQ(pageTexts[p - 1], "Pagina " + std::to_string(p) + " de 10");
  }
  EXPECT_EQ(pageTexts.size(), 10u);
  EXPECT_EQ(HGet(run.json, "avisos").Len(), 0u) << EncodeJson(HGet(run.json, "avisos"));
}

TEST(CliRender, ReportExampleRendersOnePageWithQrAndFormattedTexts) {
  std::string output = CreateTempFile("norvane_cli_out_", ".json");
  CliRun run = Norvane({"render", Example("report/template.json"), "--data", Example("report/data.json"), "--output",
                     output});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.out.empty());
  bool ok = false;
  Value json = DecodeJson(ReadBinaryFile(output), ok);
  DeleteFile(output);
  ASSERT_TRUE(ok);
  Value pages = HGet(json, "paginas");
  ASSERT_EQ(pages.Len(), 1u);
  Value page = pages.Item(1);
  EXPECT_EQ(CountObjectsOfKind(page, "barcode"), 1u);
  EXPECT_GE(CountObjectsOfKind(page, "rectangulo"), 1u);
  bool totalFound = false;
  for (const Value& object : HGet(page, "objetos").AsArray()) {
    if (ValueString(HGet(object, "texto")) == "Total: 1.234,50") totalFound = true;
    if (ValueString(HGet(object, "tipo")) == "barcode") {
      EXPECT_EQ(ValueString(HGet(object, "barcodeTipo")), "QR");
      EXPECT_GT(HGet(object, "matriz").Len(), 20u);
    }
  }
  EXPECT_TRUE(totalFound) << EncodeJson(page);
}

TEST(CliRender, TemplateFromStandardInputAndProgressLines) {
  CliRun run = Norvane({"render", "-", "--data", Example("labels/data.json"), "--progress"}, Example("labels/template.json"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(HGet(run.json, "paginas").Len(), 3u);
  EXPECT_NE(run.err.find("records examined"), std::string::npos) << run.err;
}

TEST(CliEval, ValuesAndErrorValues) {
  CliRun sum = Norvane({"eval", "10/4"});
  ASSERT_EQ(sum.exitCode, 0) << sum.err;
  EXPECT_DOUBLE_EQ(ValueDouble(HGet(sum.json, "valor")), 2.5);
  EXPECT_EQ(HGet(sum.json, "lError").AsBool(), false);

  CliRun missing = Norvane({"eval", "DATOS.NO_EXISTE"});
  ASSERT_EQ(missing.exitCode, 0);
  EXPECT_EQ(HGet(missing.json, "lError").AsBool(), true);
  EXPECT_EQ(ValueString(HGet(missing.json, "cError")), "[Variable no encontrada: DATOS.NO_EXISTE]");

  std::string data = TempWith(R"({"DataVar": {"DATOS": {"CLIENTE": "Dulces Orbanel"}}})");
  CliRun variable = Norvane({"eval", "Upper(DATOS.CLIENTE)", "--data", data});
  DeleteFile(data);
  EXPECT_EQ(ValueString(HGet(variable.json, "valor")), "DULCES ORBANEL");
}

TEST(CliBarcode, ValidAndInvalidContent) {
  CliRun ean = Norvane({"barcode", "EAN13", "590123412345"});
  EXPECT_EQ(ean.exitCode, 0);
  EXPECT_EQ(ValueString(HGet(ean.json, "texto")), "5901234123457");
  EXPECT_EQ(ValueString(HGet(ean.json, "bits")).size(), 95u);

  CliRun bad = Norvane({"barcode", "EAN13", "12AB"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_TRUE(HHas(bad.json, "error"));
}

TEST(CliBadInput, FilesAreCheckedWithOneClearLine) {
  CliRun missing = Norvane({"render", "/nonexistent/template.json"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("/nonexistent/template.json: no such file"), std::string::npos) << missing.err;
  EXPECT_TRUE(missing.out.empty());

  std::string invalid = TempWith("{\"aObjects\": [1, 2,,]}");
  CliRun broken = Norvane({"render", invalid});
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_NE(broken.err.find(invalid + ": not valid JSON"), std::string::npos) << broken.err;
  EXPECT_NE(broken.err.find("offset"), std::string::npos) << broken.err;
  DeleteFile(invalid);

  std::string array = TempWith("[1, 2]");
  CliRun notObject = Norvane({"render", Example("labels/template.json"), "--data", array});
  EXPECT_EQ(notObject.exitCode, 1);
  EXPECT_NE(notObject.err.find(array + ": not a JSON object"), std::string::npos) << notObject.err;
  DeleteFile(array);

  CliRun directory = Norvane({"eval", "1", "--options", "/tmp"});
  EXPECT_EQ(directory.exitCode, 1);
  EXPECT_NE(directory.err.find("/tmp: is a directory"), std::string::npos);
}

TEST(CliBadInput, WrongArgumentsExitTwoWithUsage) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"draw"}, {"render"}, {"render", "a.json", "b.json"}, {"eval", "1", "--output", "x"},
           {"render", "t.json", "--data"}, {"barcode", "QR"}, {"render", "-", "--data", "-"}}) {
    CliRun run = Norvane(args);
    EXPECT_EQ(run.exitCode, 2) << (args.empty() ? "" : args[0]);
    EXPECT_NE(run.err.find("usage: norvane"), std::string::npos);
  }
  CliRun help = Norvane({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("norvane render"), std::string::npos);
  CliRun version = Norvane({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("norvane ", 0), 0u);
}

// Golden output: the examples and a few evaluations print exactly the bytes they printed when the
// files under golden/ were written. A change that alters output must update the files on purpose.
namespace {

std::string Golden(const std::string& name) { return ReadBinaryFile(std::string(NORVANE_GOLDEN) + "/" + name); }

// The timing record ends a render and differs from run to run; everything before it is compared.
std::string WithoutTiming(const std::string& render) { return render.substr(0, render.find(",\"rendimiento\":")); }

}  // namespace

TEST(CliGolden, ExampleRendersAreByteIdentical) {
  for (const std::string example : {"labels", "report"}) {
    CliRun run = Norvane({"render", Example(example + "/template.json"), "--data", Example(example + "/data.json")});
    ASSERT_EQ(run.exitCode, 0) << example << ": " << run.err;
    std::string expected = Golden(example + ".render.json");
    ASSERT_NE(expected.find(",\"rendimiento\":"), std::string::npos) << example;
    EXPECT_EQ(WithoutTiming(run.out), WithoutTiming(expected)) << example;
  }
}

TEST(CliGolden, EvaluationsAndBarcodesAreByteIdentical) {
  struct Case {
    std::vector<std::string> args;
    std::string golden;
  };
  const Case cases[] = {
      {{"eval", "Transform(1234.5, '@E 999,999.99')"}, "eval.txt"},
      {{"eval", "NoSuchFunction(2)"}, "eval-error.txt"},
      {{"barcode", "EAN13", "590123412345"}, "barcode-ean13.txt"},
      {{"barcode", "QR", "https://example.com/norvane"}, "barcode-qr.txt"},
  };
  for (const Case& c : cases) {
    CliRun run = Norvane(c.args);
    EXPECT_EQ(run.exitCode, 0) << c.golden;
    EXPECT_EQ(run.out, Golden(c.golden)) << c.golden;
  }
}
