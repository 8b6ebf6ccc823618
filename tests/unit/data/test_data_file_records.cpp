// Records read from the data file one at a time must be exactly the records the connector takes
// from the decoded file: same choice of block, same keys and values, same first-record variables;
// and a file this reading can't take exactly must be refused, so the caller reads it whole.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "data/DataFileRecords.h"
#include "data/TConectorDatos.h"

using namespace nv;

namespace {

class DataFile {
 public:
  explicit DataFile(std::string_view content) : path_(CreateTempFile("norvane_records_", ".json")) {
    WriteFile(path_, content);
  }
  ~DataFile() { DeleteFile(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The records the connector gives for the whole decoded file.
Value WholeFileRecords(const std::string& path) {
  auto connector = TConectorDatos::New(Value(path));
  connector->Create();
  return connector->GetRegistrosDetalle();
}

Value VariablesOf(const std::shared_ptr<TConectorDatos>& connector) { return connector->GetVariables(); }

// Reads the file both ways and expects the same records, data variables and first-record variables.
void ExpectSameAsWholeFile(std::string_view json) {
  DataFile file(json);
  auto records = DataFileRecords::Open(file.Path());
  ASSERT_NE(records, nullptr) << json;
  const Value expected = WholeFileRecords(file.Path());
  ASSERT_EQ(records->Count(), static_cast<int64_t>(expected.Len())) << json;
  for (int64_t i = 0; i < records->Count(); ++i) {
    EXPECT_EQ(EncodeJson(records->At(i)), EncodeJson(expected.AsArray()[static_cast<size_t>(i)])) << json << " #" << i;
  }
  auto whole = TConectorDatos::New(Value(file.Path()));
  whole->Create();
  auto streamed = TConectorDatos::New(Value(""));
  streamed->Create();
  ASSERT_TRUE(streamed->LeerRegistrosDelArchivo(file.Path()));
  EXPECT_EQ(EncodeJson(VariablesOf(streamed)), EncodeJson(VariablesOf(whole))) << json;
  EXPECT_EQ(EncodeJson(streamed->GetRegistrosDetalle()), EncodeJson(expected)) << json;
  EXPECT_EQ(streamed->RegistrosIlegibles(), 0);
}

}  // namespace

TEST(DataFileRecords, PicksTheRecordsTheConnectorPicks) {
  // The first block that yields a record wins; elements that are not hashes with a named field
  // are skipped; typed values are unwrapped.
  ExpectSameAsWholeFile(R"({"DataVar": {"E": {"N": "x"}}, "DetalleVar": {
      "VACIO": [], "MALOS": [1, "a", {}, {"": 3}, [{"A": 1}]],
      "L": [{"A": 1, "B": {"tipo": "N", "valor": 2.50}}, 7, {"A": "dos", "": "skip"}, {"C": [1, {"d": "]}"}]}]}})");
  // Without DetalleVar records: the first alternative key in the connector's order, not the file's.
  ExpectSameAsWholeFile(R"({"registros": [{"R": 1}], "lineasTabla": [{"L": 1}, 5, {"L": 2}]})");
  // The first alternative holding an array decides, even when it holds no hash.
  ExpectSameAsWholeFile(R"({"lineasTabla": [1, 2], "detalle": [{"D": 1}]})");
  // Strings that look like structure, escapes, numbers kept as written, odd spacing, a BOM.
  ExpectSameAsWholeFile("\xEF\xBB\xBF{ \"DetalleVar\" : { \"L\" : [\n  { \"S\" : \"a,]}[{\\\"\" , \"N\" : 1.250 } ,\n"
                        "{\"S\":\"\\u00e9\",\"N\":-0e3}\r\n , {\"S\": null, \"N\": true}\n ] } }");
  // No records at all, and a record array under an unrelated key, which is data like any other.
  ExpectSameAsWholeFile(R"({"DataVar": {"E": {"N": 1}}, "Otra": {"L": [{"A": 1}]}})");
}

TEST(DataFileRecords, RefusesWhatOnlyTheWholeFileReadingCanTake) {
  const char* refused[] = {
      "",                                                        // empty
      "{\"DetalleVar\": {\"L\": [{\"A\": 1}]",                   // truncated
      "[{\"A\": 1}]",                                            // not an object
      "{\"DetalleVar\": {\"L\": [{\"A\": 1}]}} x",               // trailing text
      "{\"DetalleVar\": {\"L\": [{\"A\": 1}]}, \"DetalleVar\": {}}",    // repeated key on the way
      "{\"DetalleVar\": {\"L\": [{\"A\": 1}], \"L\": [{\"A\": 2}]}}",   // repeated block
      "{\"registros\": [{\"A\": 1}], \"registros\": []}",              // repeated alternative
  };
  for (const char* json : refused) {
    DataFile file(json);
    EXPECT_EQ(DataFileRecords::Open(file.Path()), nullptr) << json;
  }
  // A NUL byte after a complete document: the whole-file reading refuses it, so must this one.
  DataFile withNul(std::string("{\"DetalleVar\": {\"L\": [{\"A\": 1}]}}\0", 34));
  EXPECT_EQ(DataFileRecords::Open(withNul.Path()), nullptr);
  EXPECT_EQ(DataFileRecords::Open("/nonexistent/norvane/data.json"), nullptr);
  EXPECT_EQ(DataFileRecords::Open("/tmp"), nullptr);

  // A refused file leaves the connector as it was.
  auto connector = TConectorDatos::New(Value(""));
  connector->Create();
  connector->hDatos = DecodeJsonObject(R"({"DataVar": {"E": {"N": 1}}})");
  DataFile malformed("{");
  EXPECT_FALSE(connector->LeerRegistrosDelArchivo(malformed.Path()));
  EXPECT_EQ(ValueString(HGet(HGet(HGet(connector->hDatos, "DataVar"), "E"), "N")), "1");
}

TEST(DataFileRecords, RecordsChangedUnderTheRunComeBackEmptyAndAreCounted) {
  DataFile file(R"({"DetalleVar": {"L": [{"A": 1}, {"A": 2}, {"A": 3}]}})");
  auto connector = TConectorDatos::New(Value(""));
  connector->Create();
  ASSERT_TRUE(connector->LeerRegistrosDelArchivo(file.Path()));
  auto sequence = connector->GetSecuenciaRegistros();
  ASSERT_EQ(sequence->Count(), 3);
  EXPECT_EQ(ValueString(HGet(sequence->At(0), "L.A")), "1");
  // The file is cut short while the run goes on: the records past the cut can't be read back.
  WriteFile(file.Path(), R"({"DetalleVar": {"L": [{"A": 1}]}})");
  EXPECT_EQ(sequence->At(2).Len(), 0u);
  EXPECT_EQ(sequence->At(1).Len(), 0u);
  EXPECT_EQ(connector->RegistrosIlegibles(), 2);
  // Outside the records: an empty record, not counted as a failure.
  EXPECT_EQ(sequence->At(-1).Len(), 0u);
  EXPECT_EQ(sequence->At(3).Len(), 0u);
  EXPECT_EQ(connector->RegistrosIlegibles(), 2);
}

TEST(DataFileRecords, ManyRecordsReadInAnyOrderKeepTheirPositions) {
  std::string json = R"({"DetalleVar": {"L": [)";
  for (int i = 0; i < 500; ++i) json += (i ? "," : "") + std::string(R"({"N": )") + std::to_string(i) + "}";
  json += "]}}";
  DataFile file(json);
  auto records = DataFileRecords::Open(file.Path());
  ASSERT_NE(records, nullptr);
  ASSERT_EQ(records->Count(), 500);
  for (int i : {0, 499, 1, 250, 251, 249, 0, 498, 3}) {
    EXPECT_EQ(ValueInt(HGet(records->At(i), "L.N")), i);
  }
}
