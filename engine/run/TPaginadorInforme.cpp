#include "run/TPaginadorInforme.h"

#include <map>

#include "Accessors.h"
#include "Runtime.h"
#include "data/TConectorDatos.h"
#include "document/TPlantilla.h"
#include "formula/TEvaluadorFormulas.h"
#include "Json.h"
#include "objects/TChart.h"
#include "objects/table/TTable.h"
#include "output/TDocumentoRenderizable.h"
#include "run/TContextoEjecucion.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorEjecucion.h"
#include "run/TMotorPaginacion.h"

namespace nv {

namespace {

const std::string kTotalTexto = std::to_string(TPaginadorInforme::kTotalProvisional);

std::string ConTotal(const std::string& texto, const std::string& total) {
  std::string out;
  size_t from = 0;
  for (size_t at = texto.find(kTotalTexto); at != std::string::npos; at = texto.find(kTotalTexto, from)) {
    out.append(texto, from, at - from).append(total);
    from = at + kTotalTexto.size();
  }
  return out.append(texto, from, std::string::npos);
}

}  // namespace

TPaginadorInforme::Resultado TPaginadorInforme::Renderizar(const Value& plantillaHash, const Value& datos,
                                                           const Value& opciones, const Limites& limites) {
  return Correr(
      plantillaHash,
      [&datos](TConectorDatos& conector, TPlantilla&) {
        conector.hDatos = conector.NormalizarDatosRuntime(datos.IsHash() ? datos : Value::NewHash());
      },
      opciones, limites);
}

TPaginadorInforme::Resultado TPaginadorInforme::RenderizarArchivo(const Value& plantillaHash, const std::string& ruta,
                                                                  const Value& opciones, const Limites& limites) {
  return Correr(
      plantillaHash,
      [&ruta](TConectorDatos& conector, TPlantilla& plantilla) {
        // A table that finds no records in the file looks for them elsewhere in the data, so a
        // report takes the file this way only when it holds some.
        const int64_t minimos = plantilla.IsLabelDocument().IsTrue() ? 0 : 1;
        if (RegistrosUnoAUno(plantilla) && conector.LeerRegistrosDelArchivo(ruta, minimos)) return;
        conector.hDatos = conector.NormalizarDatosRuntime(ReadJsonFile(ruta));
      },
      opciones, limites);
}

bool TPaginadorInforme::RegistrosUnoAUno(TPlantilla& plantilla) {
  // A chart reads the records from the data; so does a table on a label sheet, which has no host
  // to hand it the records.
  const bool etiquetas = plantilla.IsLabelDocument().IsTrue();
  const Value objetos = plantilla.GetObjetos();
  if (!objetos.IsArray()) return true;
  for (const Value& objeto : objetos.AsArray()) {
    if (objeto.As<TChart>() != nullptr || (etiquetas && objeto.As<TTable>() != nullptr)) return false;
  }
  return true;
}

Value TPaginadorInforme::RegistrosDelHost(TMotorEjecucion& motor, TContextoEjecucion& contexto) {
  if (auto* conector = motor.oConectorDatos.As<TConectorDatos>()) {
    if (std::shared_ptr<RecordSequence> archivo = conector->GetRegistrosDelArchivo()) return Value(archivo);
  }
  return Value(TTable::RecordSequenceOfData(contexto.GetData()));
}

TPaginadorInforme::Resultado TPaginadorInforme::Correr(const Value& plantillaHash, const CargaDatos& cargar,
                                                       const Value& opcionesDadas, const Limites& limites) {
  Resultado resultado;
  auto plantilla = TPlantilla::New(Value(""));
  plantilla->SetData(plantillaHash.IsHash() ? plantillaHash : Value::NewHash());
  plantilla->Create();
  auto conector = TConectorDatos::New(Value(""));
  conector->Create();
  cargar(*conector, *plantilla);
  // The run adds its own keys (the record list, the base of each page): the caller's hash stays
  // as it was given. Its values (callbacks, initial accumulators) are shared, not copied.
  Value opciones = opcionesDadas.IsHash() ? Value(std::make_shared<Hash>(opcionesDadas.AsHash())) : Value::NewHash();
  if (!opciones.Has("hUserVars")) opciones.Set("hUserVars", plantilla->GetUserVars());
  if (!opciones.Has("hAcumVars")) opciones.Set("hAcumVars", plantilla->GetAcumVars());
  auto evaluador = TEvaluadorFormulas::New();
  evaluador->Create();
  auto contexto = TContextoEjecucion::New(Value(conector), Value(evaluador), opciones);
  contexto->Create();
  auto composicion = TMotorComposicion::New(Value::NewHash());
  composicion->Create();
  auto paginacion = TMotorPaginacion::New();
  paginacion->Create();
  auto motor = TMotorEjecucion::New(Value(plantilla), Value(conector), Value(composicion), Value(paginacion),
                                    Value(contexto));
  motor->Create();

  Value documento = Paginar(*motor, *contexto, limites, resultado.rendimiento);
  resultado.documento = documento.AsShared<TDocumentoRenderizable>();
  if (const int64_t ilegibles = conector->RegistrosIlegibles(); ilegibles > 0) {
    const std::string salen = plantilla->IsLabelDocument().IsTrue() ? "sus etiquetas" : "sus lineas";
    contexto->AddAviso(Value(std::to_string(ilegibles) + " registros del fichero de datos no se han podido leer: " +
                             salen + " salen vacias"));
  }
  resultado.avisos = contexto->GetAvisos();
  resultado.descartados = contexto->GetDescartados();

  motor->End();
  paginacion->End();
  composicion->End();
  contexto->End();
  evaluador->End();
  plantilla->End();
  conector->End();
  return resultado;
}

bool TPaginadorInforme::TieneTabla(const Value& objetos) {
  if (!objetos.IsArray()) return false;
  for (const Value& objeto : objetos.AsArray()) {
    if (objeto.As<TTable>() != nullptr) return true;
  }
  return false;
}

Value TPaginadorInforme::Paginar(TMotorEjecucion& motor, TContextoEjecucion& contexto, const Limites& limites,
                                 Value& rendimiento) {
  rendimiento = Value::NewHash();
  auto* plantilla = motor.oPlantilla.As<TPlantilla>();
  const Value objetos = plantilla != nullptr ? plantilla->GetObjetos() : Value::NewArray();
  // A label sheet places its records itself, and a template without a table has nothing to
  // continue: one run is the whole document.
  if (plantilla == nullptr || plantilla->IsLabelDocument().IsTrue() || !TieneTabla(objetos)) {
    Value documento = motor.Ejecutar();
    SumarRendimiento(rendimiento, motor.GetPerformanceDiagnostics());
    return documento;
  }

  const Value opciones = contexto.GetOpciones();
  const Value registros = RegistrosDelHost(motor, contexto);
  const int64_t total = RecordSequence::CountOf(registros);
  opciones.Set("lRegistrosDetalleGlobalRuntime", Value(true));
  opciones.Set("aRegistrosDetalleRuntime", registros);
  opciones.Set("nTotalRegistrosRuntime", Value::Int(total));
  opciones.Set("lTotalPaginasConocido", Value(false));
  const bool progreso = contexto.TieneProgreso().IsTrue();

  auto documento = TDocumentoRenderizable::New();
  documento->Create();
  // The run option, when given, sets the spool limit of the whole document as it does for one run.
  const Value limiteOpcion = HGet(opciones, "nAutoSpoolObjectLimit");
  documento->SetAutoPageSpooling(limiteOpcion.IsNumber() ? limiteOpcion : Value::Int(limites.nObjetosEnMemoria));
  std::vector<TextoConTotal> notas;
  int64_t base = 0;
  int64_t pagina = 1;
  for (bool primera = true;; primera = false) {
    opciones.Set("nRegistroBase", Value::Int(base));
    // Accumulators run on from page to page: only the first run starts them from zero.
    opciones.Set("lOmitirResetInicialAcumuladores", Value(!primera));
    contexto.SetEstadoPagina(Value::Int(pagina), Value::Int(kTotalProvisional));
    const Value continuaciones = contexto.GetContinuacionesTabla();
    Value corrida = motor.Ejecutar();
    SumarRendimiento(rendimiento, motor.GetPerformanceDiagnostics());
    auto hoja = corrida.AsShared<TDocumentoRenderizable>();
    if (!hoja) {
      documento->End();
      return Value();
    }
    if (primera) {
      documento->SetTamano(Value(hoja->nAncho), Value(hoja->nAlto));
      documento->SetPaperHeightMode(Value(hoja->cPaperHeightMode));
    }
    const int64_t paginas = ValueInt(hoja->TotalPaginas());
    for (int64_t k = 1; k <= paginas; ++k) {
      const Value objetosPagina = HGet(hoja->GetPagina(Value::Int(k)), "objetos");
      AnotarTotales(objetosPagina, pagina, notas);
      documento->AddPagina(objetosPagina);
      ++pagina;
    }
    hoja->End();
    if (progreso && contexto.InformarPaginaGenerada(Value::Int(pagina - 1)).IsFalse()) {
      documento->End();
      return Value();
    }

    const int64_t consumidos = ValueInt(contexto.GetRegistrosDetalleConsumidosRuntime());
    const bool avanzo = consumidos > 0 || LiteralText(continuaciones) != LiteralText(contexto.GetContinuacionesTabla());
    base += consumidos;
    if (base >= total) break;
    if (!avanzo) {
      contexto.AddAviso(Value("Ninguna tabla ha colocado registros en la pagina " + std::to_string(pagina - 1) +
                              ": quedan " + std::to_string(total - base) + " registros sin colocar"));
      break;
    }
    if (pagina > limites.nMaxPaginas) {
      contexto.AddAviso(Value("Limite de " + std::to_string(limites.nMaxPaginas) + " paginas alcanzado: quedan " +
                              std::to_string(total - base) + " registros sin colocar"));
      break;
    }
  }
  EscribirTotal(*documento, notas, pagina - 1);
  return Value(documento);
}

void TPaginadorInforme::AnotarTotales(const Value& objetos, int64_t pagina, std::vector<TextoConTotal>& notas) {
  if (!objetos.IsArray()) return;
  const Array& lista = objetos.AsArray();
  for (size_t p = 0; p < lista.size(); ++p) {
    const Value* texto = lista[p].IsHash() ? lista[p].AsHash().Find("texto") : nullptr;
    const std::string* s = texto != nullptr ? texto->StringRef() : nullptr;
    if (s != nullptr && s->find(kTotalTexto) != std::string::npos) notas.push_back({pagina, p, *s});
  }
}

void TPaginadorInforme::EscribirTotal(TDocumentoRenderizable& documento, const std::vector<TextoConTotal>& notas,
                                      int64_t total) {
  const std::string cifra = std::to_string(total);
  std::map<int64_t, Value> parches;
  for (const TextoConTotal& nota : notas) {
    const Value texto(ConTotal(nota.texto, cifra));
    const Value numero = Value::Int(nota.pagina);
    if (documento.IsPageSpooling().IsTrue()) {
      Value parche = Value::NewHash();
      parche.Set("nIndex", Value::Int(static_cast<int64_t>(nota.objeto + 1)));
      parche.Set("uTexto", texto);
      Value& lista = parches[nota.pagina];
      if (lista.IsNil()) lista = Value::NewArray();
      lista.Append(parche);
      continue;
    }
    Value objetos = HGet(documento.GetPagina(numero), "objetos");
    if (objetos.IsArray() && nota.objeto < objetos.Len()) objetos.AsArray()[nota.objeto].Set("texto", texto);
  }
  for (const auto& [pagina, lista] : parches) {
    // A page still in memory (its spool write failed) takes the texts directly.
    if (!documento.SetParchesTextoPagina(Value::Int(pagina), lista).IsTrue()) {
      Value objetos = HGet(documento.GetPagina(Value::Int(pagina)), "objetos");
      for (const Value& parche : lista.AsArray()) {
        const auto at = static_cast<size_t>(ValueInt(HGet(parche, "nIndex")));
        if (objetos.IsArray() && at >= 1 && at <= objetos.Len()) objetos.Item(at).Set("texto", HGet(parche, "uTexto"));
      }
    }
  }
}

void TPaginadorInforme::SumarRendimiento(Value& suma, const Value& figuras) {
  if (!figuras.IsHash()) return;
  for (const auto& [clave, valor] : figuras.AsHash()) {
    const Value antes = HGet(suma, clave, Value::Int(0));
    if (antes.IsNumber() && valor.IsNumber() && antes.AsNumber().isInteger && valor.AsNumber().isInteger) {
      suma.Set(clave, Value::Int(antes.AsNumber().i + valor.AsNumber().i));
    } else {
      suma.Set(clave, Value::Dbl(ValueNumber(antes).AsDouble() + ValueNumber(valor).AsDouble(), 3));
    }
  }
}

}  // namespace nv
