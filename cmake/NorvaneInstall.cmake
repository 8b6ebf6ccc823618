# What `cmake --install` puts in place for a host program: the libraries, the headers a host
# includes, the CMake package (Norvane::runtime, Norvane::engine, ...), norvane.pc, the man page and
# the template schema. Included once every library target exists.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The libraries a host links, in dependency order (each depends only on those before it). A name
# with no target in this build is skipped, so a library joins the package by being listed here.
# Each is exported as Norvane::<name without "norvane_">.
set(NORVANE_INSTALLED_LIBRARIES
  norvane_runtime
  norvane_barcode
  norvane_engine
  norvane_export)

# The headers a host includes: the value type, the template, the connectors, the context, the
# evaluator a context needs, the engines, the rendered document, and the headers these include.
# Each lies in the folder its library compiles from; the part after that folder is where it lands
# under include/norvane/ (runtime/Value.h -> include/norvane/Value.h, engine/run/X.h ->
# include/norvane/run/X.h), which is the path the sources include it by. Every other header stays
# private.
set(NORVANE_PUBLIC_HEADERS
  export/Exporter.h
  export/ExportOptions.h
  export/ExportWarnings.h
  export/MemoryOutputTarget.h
  export/OutputTarget.h
  runtime/Accessors.h
  runtime/Hash.h
  runtime/HashKey.h
  runtime/HashKeyTable.h
  runtime/Json.h
  runtime/Object.h
  runtime/Runtime.h
  runtime/TextLines.h
  runtime/Value.h
  engine/data/ArrayRecordSequence.h
  engine/data/DataFileRecords.h
  engine/data/DetailRecordConverter.h
  engine/data/DetailRecordView.h
  engine/data/RecentRecords.h
  engine/data/RecordSequence.h
  engine/data/TConectorDatos.h
  engine/data/TConectorDatosReg.h
  engine/document/TDocument.h
  engine/document/TPlantilla.h
  engine/formula/EngineFunctions.h
  engine/formula/EvaluationMemo.h
  engine/formula/FormulaAnalysis.h
  engine/formula/FormulaAnalysisCache.h
  engine/formula/FormulaInterpreter.h
  engine/formula/FormulaOperators.h
  engine/formula/FormulaPlanCompiler.h
  engine/formula/FormulaPlanEvaluator.h
  engine/formula/FormulaPlanNode.h
  engine/formula/RecordSumCache.h
  engine/formula/SimpleAccumulatorPlans.h
  engine/formula/TEvaluadorFormulas.h
  engine/output/PageSpool.h
  engine/output/TDocumentoRenderizable.h
  engine/run/AccumulatorRuntimePlan.h
  engine/run/ContextoEtiquetas.h
  engine/run/FuentePlantilla.h
  engine/run/FuenteRegistros.h
  engine/run/FuenteVariables.h
  engine/run/ObjetoComponible.h
  engine/run/ReceptorAvisos.h
  engine/run/TContextoEjecucion.h
  engine/run/TMotorComposicion.h
  engine/run/TMotorEjecucion.h
  engine/run/TMotorPaginacion.h
  engine/run/TPaginadorInforme.h
  engine/version/Version.h)

set(NORVANE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Norvane)

# A library's include folder is its source folder in the build tree and include/norvane once
# installed; the targets name the source folder alone, which an installed package cannot use.
function(norvane_relocate_includes target)
  get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
  set(relocated "")
  foreach(dir IN LISTS dirs)
    if(IS_ABSOLUTE "${dir}")
      list(APPEND relocated "$<BUILD_INTERFACE:${dir}>")
    else()
      list(APPEND relocated "${dir}")
    endif()
  endforeach()
  list(APPEND relocated "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/norvane>")
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${relocated}")
endfunction()

set(installed "")
foreach(library IN LISTS NORVANE_INSTALLED_LIBRARIES)
  if(NOT TARGET ${library})
    continue()
  endif()
  string(REGEX REPLACE "^norvane_" "" exportName ${library})
  norvane_relocate_includes(${library})
  set_target_properties(${library} PROPERTIES
    EXPORT_NAME ${exportName}
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
  list(APPEND installed ${library})
endforeach()

install(TARGETS ${installed} EXPORT NorvaneTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT NorvaneTargets NAMESPACE Norvane:: DESTINATION ${NORVANE_CMAKE_DIR})

foreach(header IN LISTS NORVANE_PUBLIC_HEADERS)
  # runtime/Value.h -> ""; engine/run/X.h -> run
  string(FIND "${header}" "/" slash)
  math(EXPR afterSlash "${slash} + 1")
  string(SUBSTRING "${header}" ${afterSlash} -1 relative)
  get_filename_component(subfolder "${relative}" DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/norvane/${subfolder})
endforeach()

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/NorvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/NorvaneConfig.cmake INSTALL_DESTINATION ${NORVANE_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/NorvaneConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/NorvaneConfig.cmake ${PROJECT_BINARY_DIR}/NorvaneConfigVersion.cmake
  DESTINATION ${NORVANE_CMAKE_DIR})

# norvane.pc finds the prefix from its own place, so that an install moved with --prefix works.
# A static library needs its dependencies after it on the link line: the list reversed.
set(pkgLibs "")
set(reversed ${installed})
list(REVERSE reversed)
foreach(library IN LISTS reversed)
  string(APPEND pkgLibs " -l${library}")
endforeach()
file(RELATIVE_PATH NORVANE_PC_TO_PREFIX "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
string(REGEX REPLACE "/$" "" NORVANE_PC_TO_PREFIX "${NORVANE_PC_TO_PREFIX}")
set(NORVANE_PC_LIBS "${pkgLibs}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/norvane.pc.in ${PROJECT_BINARY_DIR}/norvane.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/norvane.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The program's manual page.
install(FILES ${PROJECT_SOURCE_DIR}/tools/norvane.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The template schema, for editors.
install(FILES ${NORVANE_TEMPLATE_SCHEMA} DESTINATION ${CMAKE_INSTALL_DATADIR}/norvane)
