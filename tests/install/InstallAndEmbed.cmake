# cmake -P script: install, build the embed example two ways, run it, check what it prints.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(lastOutput "${out}" PARENT_SCOPE)
endfunction()

# The label example fills three sheets: 24 + 24 + 2 labels.
function(expect_label_pages program)
  run(${program} ${SOURCE_DIR}/examples/labels/template.json ${SOURCE_DIR}/examples/labels/data.json)
  string(REGEX MATCHALL "page [0-9]+: [1-9][0-9]* objects" pages "${lastOutput}")
  list(LENGTH pages count)
  if(NOT count EQUAL 3)
    message(FATAL_ERROR "${program} printed ${count} non-empty pages, expected 3:\n${lastOutput}")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(private formula/FormulaSplitter.h objects/TText.h objects/Field.h)
  file(GLOB_RECURSE leaked ${prefix}/include/*/${private})
  if(leaked)
    message(FATAL_ERROR "a private header was installed: ${leaked}")
  endif()
endforeach()

# Libraries built with the sanitizers need their runtime in the program that links them.
set(sanitize "")
if(SANITIZE)
  set(sanitize -fsanitize=address,undefined)
endif()

set(launcher "")
if(LAUNCHER)
  set(launcher -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
endif()
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/embed -B ${WORK_DIR}/cmake-build -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} ${launcher} -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_CXX_FLAGS=${sanitize}" "-DCMAKE_EXE_LINKER_FLAGS=${sanitize}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
expect_label_pages(${WORK_DIR}/cmake-build/embed)

file(GLOB_RECURSE pcFile ${prefix}/*/norvane.pc)
get_filename_component(pcDir "${pcFile}" DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pcDir})
run(${PKG_CONFIG} --cflags --libs norvane)
separate_arguments(flags UNIX_COMMAND "${lastOutput}")
run(${LAUNCHER} ${CXX} -std=c++20 -O1 ${sanitize} ${SOURCE_DIR}/examples/embed/embed.cpp ${flags} -o ${WORK_DIR}/embed-pc)
expect_label_pages(${WORK_DIR}/embed-pc)
