#pragma once
// The paginating host: turns a template and its runtime data into the complete rendered document,
// however many pages its tables take. A table fills one page per execution and leaves its
// unplaced records to the next; this host runs the execution engine page after page over one
// execution context, so continuations and accumulators carry over, with the detail records built
// once and given to every run in global mode, the first record of each run advanced by the records
// the previous run consumed. It stops when every record is placed, or, with a warning, on a run
// that made no progress.
//
// "Page X of Y": pages are composed with a provisional total (kTotalProvisional); every text that
// shows it is noted as its page is added, and once the real total is known it is written over
// (in memory, or as a text patch of a spooled page). One pass: the cost is a scan of the texts of
// each page and a patch per text that shows the total. A total used in arithmetic or formatted
// other than as plain digits is not recognised.
//
// Long documents spool their pages to temporary files as they go (SetAutoPageSpooling), so memory
// stays flat whatever the page count.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Object.h"
#include "Value.h"

namespace nv {

class TConectorDatos;
class TContextoEjecucion;
class TDocumentoRenderizable;
class TMotorEjecucion;
class TPlantilla;

/// Bounds of one paginated run.
struct LimitesPaginador {
  /// Render objects held in memory before the document spools its pages.
  int64_t nObjetosEnMemoria = 20000;
  /// Pages after which the host stops with a warning (a guard against runaway templates).
  int64_t nMaxPaginas = 1000000;
};

class TPaginadorInforme : public Object {
 public:
  /// The total page count formulas see while pages are composed; written over at the end.
  static constexpr int64_t kTotalProvisional = 987654321;

  using Limites = LimitesPaginador;

  /// What one call gives back. documento is null when a progress callback cancelled the run.
  struct Resultado {
    std::shared_ptr<TDocumentoRenderizable> documento;
    Value avisos = Value::NewArray();
    Value descartados = Value::NewArray();
    /// The execution engine's timing record, summed over every run.
    Value rendimiento = Value::NewHash();
  };

  /// Renders a template hash against a runtime data hash with the options of the run (its
  /// "hUserVars" and "hAcumVars" default to the template's). The caller ends the document.
  static Resultado Renderizar(const Value& plantilla, const Value& datos, const Value& opciones,
                              const Limites& limites = Limites());
  /// As Renderizar, with the runtime data read from the JSON file at rutaDatos (a missing or
  /// malformed file gives empty data). A document whose objects do not read the detail records as
  /// a whole (no chart; on a label sheet, no table either) reads its records from the file one at
  /// a time, so its memory does not grow with them: labels are placed record by record, and the
  /// tables of a report read the records the host hands them. Anything else reads the file whole,
  /// as does a report whose file holds no detail records (a table then looks for them in the
  /// data). A record that can't be read back (the file changed during the run) prints empty, with
  /// a warning.
  static Resultado RenderizarArchivo(const Value& plantilla, const std::string& rutaDatos, const Value& opciones,
                                     const Limites& limites = Limites());

  /// The paging loop over wired pieces: the engine with its template, connector and context.
  /// Returns the rendered document (nil when cancelled); rendimiento receives the summed timings.
  static Value Paginar(TMotorEjecucion& motor, TContextoEjecucion& contexto, const Limites& limites,
                       Value& rendimiento);

  std::string_view ClassName() const override { return "TPaginadorInforme"; }

 private:
  /// A text of a page that shows the provisional total: page number, object position, text.
  struct TextoConTotal {
    int64_t pagina;
    size_t objeto;
    std::string texto;
  };
  /// Puts the run's data into the connector; the template is created.
  using CargaDatos = std::function<void(TConectorDatos&, TPlantilla&)>;
  static Resultado Correr(const Value& plantillaHash, const CargaDatos& cargar, const Value& opciones,
                          const Limites& limites);
  static bool TieneTabla(const Value& objetos);
  /// True for a document none of whose objects reads the detail records as a whole.
  static bool RegistrosUnoAUno(TPlantilla& plantilla);
  /// The records the tables of a report walk: those left in the data file, else the detail
  /// records of the data, read in place.
  static Value RegistrosDelHost(TMotorEjecucion& motor, TContextoEjecucion& contexto);
  static void AnotarTotales(const Value& objetos, int64_t pagina, std::vector<TextoConTotal>& notas);
  static void EscribirTotal(TDocumentoRenderizable& documento, const std::vector<TextoConTotal>& notas, int64_t total);
  static void SumarRendimiento(Value& suma, const Value& figuras);
};

}  // namespace nv
