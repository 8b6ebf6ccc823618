#pragma once
// The source of runtime data for one execution: named variables grouped by data block and detail
// records, read from a JSON data file. The decoded hash is kept as it is; the flat variable table
// and the detail records are derived from it on every query.
//
// Runtime data format (all keys optional, others ignored):
//   "DataVar"    block -> field -> value              variables BLOCK.FIELD
//   "DetalleVar" block -> array of records            records with keys BLOCK.FIELD
//   "UserVar"    name -> {"formula": text}            variables "VAR." + name (the formula text)
//   "AcumVar"    name -> {"formula": text}            variables "SUM." + name (the formula text)
//   "lineasTabla", "LINEAS_TABLA", "detalleTabla", "DETALLE_TABLA", "detalle", "DETALLE",
//   "registros", "REGISTROS": arrays of ready-made records, consulted in this order only when
//   "DetalleVar" yields no record.
// A value that is a hash with "valor" is typed: only its "valor" is used.

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "Object.h"
#include "Value.h"
#include "data/DataFileRecords.h"
#include "run/FuenteRegistros.h"
#include "run/FuenteVariables.h"

namespace nv {

class TConectorDatos : public Object, public FuenteRegistros, public FuenteVariables {
 public:
  /// The runtime data (the decoded data file, changed in place only by mask normalisation).
  Value hDatos = Value::NewHash();
  /// Path of the data file; "" when none.
  std::string cRuta;

  ~TConectorDatos() override = default;
  std::string_view ClassName() const override { return "TConectorDatos"; }
  bool RespondsTo(std::string_view name) const override;

  /// Builds a connector for the data file at path (Init); loads nothing yet.
  static std::shared_ptr<TConectorDatos> New(const Value& path = Value());
  /// Sets cRuta (a non-text path gives "") and empties the data.
  std::shared_ptr<TConectorDatos> Init(const Value& path = Value());
  /// Loads the data file named by cRuta; a missing, empty or malformed file gives empty data.
  std::shared_ptr<TConectorDatos> Create();
  /// Empties the data and the path. Returns nil.
  Value End() override;
  /// Sets the path (a non-text path gives "") without reloading.
  std::shared_ptr<TConectorDatos> SetRuta(const Value& path);
  /// Returns a new hash of every variable: data variables, then the fields of the first detail
  /// record, then "VAR." and "SUM." entries, later ones replacing equal names.
  Value GetVariables() override;
  /// Returns the live data hash: changes made through it are seen by later queries.
  Value GetData() override;
  /// Rewrites the display masks of the "OMEM_PICTURES" block of "DataVar" in place into the
  /// engine's "@E" notation; returns the same hash (a non-hash gives a new empty hash).
  Value NormalizarDatosRuntime(const Value& data);
  /// Returns the detail records: those of the first "DetalleVar" block that yields any, else the
  /// hashes of the first alternative detail key holding an array, else an empty array.
  Value GetRegistrosDetalle() override;
  /// The detail records by position: read from the data file when LeerRegistrosDelArchivo took
  /// it, else the array GetRegistrosDetalle gives.
  std::shared_ptr<RecordSequence> GetSecuenciaRegistros() override;
  /// Takes the data file at path with its detail records left in the file, read one at a time as
  /// the label road and the tables of a report ask for them: the data then holds only the first
  /// record (so the variables of its fields are as before), and GetRegistrosDetalle reads them all
  /// back when asked. False, with the connector unchanged, when the file can't be read this way or
  /// holds fewer than registrosMinimos records; the caller then loads it whole. Records that could
  /// not be read back are counted by RegistrosIlegibles.
  bool LeerRegistrosDelArchivo(const std::string& path, int64_t registrosMinimos = 0);
  /// The records left in the data file by LeerRegistrosDelArchivo; nullptr when the data were
  /// loaded whole.
  std::shared_ptr<RecordSequence> GetRegistrosDelArchivo() const;
  int64_t RegistrosIlegibles() const;

  /// Returns the records of the first "DetalleVar" block of data that yields any: one hash per
  /// line, keyed "BLOCK.FIELD", typed values ({"tipo", "valor"}) unwrapped to their "valor";
  /// an empty array when there is none. The record lists of tables and charts.
  static Value RegistrosDetalleVar(const Value& data);

  /// The top-level keys of ready-made records, in the order they are consulted.
  static std::span<const std::string_view> ClavesDetalleAlternativas();

  /// True for a numeric mask in the source notation: only "-", "&", "#", "9", "0", "," and "."
  /// after trimming, at least one of "&", "#", "9", and not starting with "@".
  static bool EsMascaraNumericaVb12(const Value& value);
  /// Rewrites a numeric source mask into "@E " + the mask with every placeholder as "9" ("," kept
  /// only when the mask has a "."); any other value is returned unchanged.
  static Value NormalizarMascaraVb12(const Value& value);

 protected:
  /// Fills hDatos when Create runs; the registered connector, filled by calls, keeps its data.
  virtual void CargarDatos();
  Value CargarJson(const Value& path);
  Value PrimerRegistroDetalleVar(const Value& data);
  Value RegistrosDetalle(const Value& data);
  Value VariablesDataVar(const Value& data);
  Value VariablesUserVar(const Value& data);
  Value VariablesAcumVar(const Value& data);
  /// The "valor" of a typed value (a hash with "valor"), else the value itself.
  static Value ValorVariableTipada(const Value& value);
  static Value NormalizarValorDato(const Value& value);
  static std::string ResolverRuta(const Value& path);
  /// The records left in the data file, when LeerRegistrosDelArchivo took it.
  std::shared_ptr<DataFileRecords> registrosArchivo_;
  /// Assigns every key of source into target in order (a non-hash target becomes a new hash).
  static Value HashMergeLocal(Value target, const Value& source);
};

}  // namespace nv
