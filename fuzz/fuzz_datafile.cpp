// A data file read record by record from arbitrary bytes: the reading never fails on its own, and
// when it takes a file, it gives exactly what the connector gives for the file decoded whole (the
// records, in order, and the variables of the first one); when it finds records, they are also
// the ones a report's tables would find in the whole data.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSession.h"
#include "Json.h"
#include "Runtime.h"
#include "data/DataFileRecords.h"
#include "data/TConectorDatos.h"
#include "objects/table/TTable.h"

using namespace nv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = CreateTempFile("norvane_fuzz_data_" + std::to_string(getpid()) + "_", ".json");
  WriteFile(path, std::string_view(reinterpret_cast<const char*>(data), size));

  auto streamed = TConectorDatos::New(Value(""));
  streamed->Create();
  if (!streamed->LeerRegistrosDelArchivo(path)) return 0;
  auto whole = TConectorDatos::New(Value(path));
  whole->Create();

  const Value expected = whole->GetRegistrosDetalle();
  auto sequence = streamed->GetSecuenciaRegistros();
  fuzz::Require(sequence->Count() == static_cast<int64_t>(expected.Len()), "the same number of records");
  for (int64_t i = 0; i < sequence->Count(); ++i) {
    fuzz::Require(EncodeJson(sequence->At(i)) == EncodeJson(expected.AsArray()[static_cast<size_t>(i)]),
                  "each record as the whole-file reading gives it");
  }
  if (sequence->Count() > 0) {
    fuzz::Require(EncodeJson(TTable::RecordsOfData(whole->GetData())) == EncodeJson(expected),
                  "the records a report's tables find in the whole data");
  }
  fuzz::Require(EncodeJson(streamed->GetVariables()) == EncodeJson(whole->GetVariables()),
                "the variables of the data and of the first record");
  fuzz::Require(streamed->RegistrosIlegibles() == 0, "no record of an unchanged file is unreadable");
  return 0;
}
