#pragma once
// The data connector a host fills by calls instead of a file: field definitions plus rows of
// values for the data variables (SendDataVar) and for the detail lines (SendDataLine), stored in
// the runtime data format with typed values {"tipo", "valor"}. Variables and records are computed
// once per send and cached; a line cursor serves hosts that walk the lines themselves.
//
// A field definition is a hash; the first key present gives each attribute:
//   name "nombre" "name" "campo" "cName" | block "grupo" "group" "tabla" "alias" |
//   type "tipo" "type" "cType" | length "longitud" "length" "nLength" |
//   decimals "decimales" "decimals" "nDecimals".
// A point in the name splits it into block and field ("CLIENTES.NOMBRE").

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/TConectorDatos.h"

namespace nv {

class TConectorDatosReg : public TConectorDatos {
 public:
  /// Block used for variable fields that name none.
  std::string cGrupoVarDefecto = "DATOS";
  /// Block used for line fields that name none.
  std::string cGrupoLineDefecto = "LINEAS";
  /// Block of the first line field last sent; GetLineValue reads bare names from it.
  std::string cGrupoLineActual = "LINEAS";
  /// Line cursor, counted from 0.
  int64_t nIndiceLineActual = 0;
  /// Cached result of GetVariables; nil when it must be computed.
  Value hVariablesCache;
  /// Cached result of GetRegistrosDetalle; nil when it must be computed.
  Value aRegistrosDetalleCache;

  ~TConectorDatosReg() override = default;
  std::string_view ClassName() const override { return "TConectorDatosReg"; }
  bool RespondsTo(std::string_view name) const override;

  /// Builds an empty registered connector (the argument is ignored).
  static std::shared_ptr<TConectorDatosReg> New(const Value& ignored = Value());
  /// Resets the data to the empty structure, the defaults and the caches.
  std::shared_ptr<TConectorDatosReg> Init(const Value& ignored = Value());
  /// Returns the connector; loads nothing.
  std::shared_ptr<TConectorDatosReg> Create();
  /// Resets the data, the current line block, the cursor and the caches. Returns nil.
  Value End() override;
  /// Stores data variables: definitions (array of hashes) and rows (array of arrays); only the
  /// first row is used. Keeps the records cache.
  std::shared_ptr<TConectorDatosReg> SendDataVar(const Value& definitions, const Value& rows);
  /// Stores detail lines, one record per row; resets the cursor and both caches.
  std::shared_ptr<TConectorDatosReg> SendDataLine(const Value& definitions, const Value& rows);
  /// Returns the hash variable name -> plain value: the data variables overlaid with the fields of
  /// the first record (cached; callers must not change it).
  Value GetVariables() override;
  /// Returns the live data hash.
  Value GetData() override;
  /// Returns the records of all "DetalleVar" blocks, block after block, keys BLOCK.FIELD (cached).
  Value GetRegistrosDetalle() override;
  /// Moves the cursor to the first line.
  std::shared_ptr<TConectorDatosReg> ResetLine();
  /// Advances the cursor by one line.
  std::shared_ptr<TConectorDatosReg> NextLine();
  /// True when the cursor is at or past the number of rows last sent.
  Value EofLine();
  /// Returns the number of rows sent by the last SendDataLine (arrays or not).
  Value GetTotalLine();
  /// Returns the record at the cursor, or an empty hash.
  Value GetCurrentLine();
  /// Returns a field of the current line (a bare name reads from cGrupoLineActual), else def.
  Value GetLineValue(const Value& name, const Value& def = Value());
  /// Returns a data variable (a bare name also tries cGrupoVarDefecto), else def.
  Value GetVarValue(const Value& name, const Value& def = Value());

  /// Returns the normalised definition {"nombre", "grupo", "tipo", "longitud", "decimales"}.
  static Value DefinicionCampo(const Value& definition, const Value& block);
  /// Returns the engine's type name for a sent type ("Numeric" gives "numerico", "" "texto").
  static Value NormalizarTipo(const Value& type);

 protected:
  void CargarDatos() override {}

 private:
  static Value EmptyData();
  static Value NormalizarStruct(const Value& definitions, const Value& block);
  Value VariablesDataVarReg();
  static Value ValorDefinicion(const Value& value);
  void EnsureData();
};

}  // namespace nv
