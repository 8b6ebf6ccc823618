#pragma once
// Stand-ins for the execution engine's collaborators: a template that answers the page and the
// object list, layout objects that return prepared render objects, and a context that keeps
// warnings. They implement the engine's collaborator interfaces, as the real classes do.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Object.h"
#include "output/TDocumentoRenderizable.h"
#include "run/ContextoEtiquetas.h"
#include "run/FuenteDiagnosticos.h"
#include "run/FuentePlantilla.h"
#include "run/FuenteRegistros.h"
#include "run/ObjetoComponible.h"
#include "run/ReceptorAvisos.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorEjecucion.h"
#include "run/TMotorPaginacion.h"
#include "Value.h"

namespace nv::testing {

class PlantillaDoble : public Object, public FuentePlantilla {
 public:
  Value pagina = Value::NewHash();
  Value objetos = Value::NewArray();
  bool etiquetas = false;
  Value layout = Value::NewHash();
  /// Messages the double pretends not to know.
  std::set<std::string> ausentes;

  bool RespondsTo(std::string_view name) const override {
    if (ausentes.count(std::string(name))) return false;
    return NameIn(name, {"IsLabelDocument", "GetPagina", "GetObjetos", "GetLabelLayout"}) || Object::RespondsTo(name);
  }
  Value IsLabelDocument() const override { return etiquetas; }
  Value GetPagina() const override { return pagina; }
  Value GetObjetos() const override { return objetos; }
  Value GetLabelLayout() const override { return layout; }
};

/// A layout object whose composition returns a fixed value (nil, a render object or a list).
class ObjetoDoble : public Object, public ObjetoComponible, public FuenteDiagnosticos {
 public:
  explicit ObjetoDoble(Value result, Value diagnostics = Value()) : result_(std::move(result)), diagnostics_(std::move(diagnostics)) {}
  int calls = 0;
  Value lastContext;

  bool RespondsTo(std::string_view name) const override {
    if (EqualsIgnoreCase(name, "GetPerformanceDiagnostics")) return !diagnostics_.IsNil();
    return NameIn(name, {"GenerarRenderizable"}) || Object::RespondsTo(name);
  }
  Value GenerarRenderizable(const Value& contexto) override {
    ++calls;
    lastContext = contexto;
    return result_;
  }
  Value GetPerformanceDiagnostics() override { return diagnostics_; }

 private:
  Value result_;
  Value diagnostics_;
};

class ContextoDoble : public Object, public ReceptorAvisos {
 public:
  std::vector<std::string> avisos;
  bool RespondsTo(std::string_view name) const override { return NameIn(name, {"AddAviso"}) || Object::RespondsTo(name); }
  Value AddAviso(const Value& aviso) override {
    avisos.push_back(ValueString(aviso));
    return Value();
  }
};

/// A context for label runs: options, progress answers, and a log of the record and page calls.
class ContextoEtiquetasDoble : public Object, public ContextoEtiquetas, public ReceptorAvisos {
 public:
  Value opciones = Value::NewHash();
  bool progreso = false;
  int64_t cancelarEnRegistro = 0;  // InformarRegistroExaminado answers false for this record
  int64_t cancelarEnPaginas = 0;   // InformarPaginaGenerada answers false for this page count
  std::vector<std::string> log;
  Value registroActual = Value::NewHash();

  bool RespondsTo(std::string_view name) const override {
    return NameIn(name, {"GetOpciones", "TieneProgreso", "InformarRegistroExaminado", "InformarPaginaGenerada",
                         "EntrarRegistroEtiqueta", "PopRegistroDetalle", "AddAviso"}) ||
           Object::RespondsTo(name);
  }
  Value GetOpciones() override { return opciones; }
  Value TieneProgreso() override { return progreso; }
  Value InformarRegistroExaminado(const Value& n) override {
    log.push_back("registro " + ValueString(n));
    return ValueInt(n) != cancelarEnRegistro;
  }
  Value InformarPaginaGenerada(const Value& n) override {
    log.push_back("paginas " + ValueString(n));
    return ValueInt(n) != cancelarEnPaginas;
  }
  /// Logs the page state and the record as two entries: "estado page/total", then
  /// "push N index count previousN nextN" ("-" for a missing "N").
  Value EntrarRegistroEtiqueta(int64_t page, int64_t total, const Value& record, int64_t index, int64_t count,
                               const Value& previous, const Value& next) override {
    log.push_back("estado " + std::to_string(page) + "/" + std::to_string(total));
    registroActual = record;
    log.push_back("push " + ValueString(HGet(record, "N", "-")) + " " + std::to_string(index) + " " +
                  std::to_string(count) + " " + ValueString(HGet(previous, "N", "-")) + " " +
                  ValueString(HGet(next, "N", "-")));
    return Value();
  }
  Value PopRegistroDetalle() override {
    registroActual = Value::NewHash();
    log.push_back("pop");
    return Value();
  }
  Value AddAviso(const Value& aviso) override {
    log.push_back("aviso " + ValueString(aviso));
    return Value();
  }
};

class ConectorDoble : public Object, public FuenteRegistros {
 public:
  Value registros = Value::NewArray();
  bool RespondsTo(std::string_view name) const override {
    return NameIn(name, {"GetRegistrosDetalle"}) || Object::RespondsTo(name);
  }
  Value GetRegistrosDetalle() override { return registros; }
};

/// A layout object that, like a real one, builds a new render object at every composition; its
/// text is the current record's "N" as the label context double holds it.
class EtiquetaDoble : public Object, public ObjetoComponible {
 public:
  explicit EtiquetaDoble(Value prototype) : prototype_(std::move(prototype)) {}
  bool RespondsTo(std::string_view name) const override {
    return NameIn(name, {"GenerarRenderizable"}) || Object::RespondsTo(name);
  }
  Value GenerarRenderizable(const Value& contexto) override {
    Value r = prototype_.Clone();
    if (auto* ctx = contexto.As<ContextoEtiquetasDoble>()) {
      if (!r.Has("texto")) r.Set("texto", ValueString(HGet(ctx->registroActual, "N", "")));
    }
    return r;
  }

 private:
  Value prototype_;
};

/// A render object hash with the given kind, id and position.
inline Value Render(const std::string& tipo, const std::string& id, double x = 0, double y = 0) {
  Value r = Value::NewHash();
  r.Set("tipo", tipo);
  r.Set("id", id);
  r.Set("x", Value(x));
  r.Set("y", Value(y));
  return r;
}

/// An engine wired to the given template and context with real composition and pagination.
struct Pipeline {
  std::shared_ptr<PlantillaDoble> plantilla = std::make_shared<PlantillaDoble>();
  std::shared_ptr<ContextoDoble> contexto = std::make_shared<ContextoDoble>();
  std::shared_ptr<TMotorComposicion> composicion = TMotorComposicion::New(Value::NewHash());
  std::shared_ptr<TMotorPaginacion> paginacion = TMotorPaginacion::New(Value::NewHash());
  std::shared_ptr<TMotorEjecucion> motor;

  Pipeline() {
    composicion->Create();
    paginacion->Create();
    motor = TMotorEjecucion::New(Value(plantilla), Value(), Value(composicion), Value(paginacion), Value(contexto));
    motor->Create();
  }
  /// Adds a layout object that composes to result; returns it.
  std::shared_ptr<ObjetoDoble> Add(Value result, Value diagnostics = Value()) {
    auto objeto = std::make_shared<ObjetoDoble>(std::move(result), std::move(diagnostics));
    plantilla->objetos.Append(Value(objeto));
    return objeto;
  }
  /// Runs the engine and returns the rendered document.
  std::shared_ptr<TDocumentoRenderizable> Run() { return motor->Ejecutar().AsShared<TDocumentoRenderizable>(); }
};

}  // namespace nv::testing
