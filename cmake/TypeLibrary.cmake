# pelk_type_library(<target> OUTPUT_NAME <name> SCHEMAS <files...> [IMPORTS <files...>] [LINK <targets...>])
#
# Runs the generator over the schema files at build time and builds the
# shared type library from what it writes into the build tree. Every library
# imports the runtime's own schema.
set(PELK_GENERATOR_DIR ${PROJECT_SOURCE_DIR}/generator)
set(PELK_RUNTIME_SCHEMA ${PROJECT_SOURCE_DIR}/interface/base/kettar.schema)
# A type library binds its own symbols at link time (functions, records,
# vtables, typeinfo) except the few variables its registration fills in
# (type_library.dynamic), and its relative relocations are packed: both
# spare the loader a symbol lookup per reference. Exceptions and dynamic_cast
# still work across libraries, since typeinfo compares by name on this ABI;
# typeinfo names stay local (type_library.map). Sections nothing reaches are
# dropped and the symbol hash table is sized for its symbols.
set(PELK_TYPE_LIBRARY_MAP ${CMAKE_CURRENT_LIST_DIR}/type_library.map)
set(PELK_TYPE_LIBRARY_DYNAMIC ${CMAKE_CURRENT_LIST_DIR}/type_library.dynamic)
set(PELK_TYPE_LIBRARY_LINK_OPTIONS -Wl,--dynamic-list=${PELK_TYPE_LIBRARY_DYNAMIC} -Wl,-z,pack-relative-relocs
                                   -Wl,--version-script=${PELK_TYPE_LIBRARY_MAP} -Wl,--gc-sections -Wl,-O1)
file(GLOB PELK_GENERATOR_SOURCES CONFIGURE_DEPENDS ${PELK_GENERATOR_DIR}/pelkgen/*.py)

function(pelk_type_library target)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME;NAMESPACE" "SCHEMAS;IMPORTS;LINK;SOURCES" ${ARGN})
  set(gen_root ${CMAKE_BINARY_DIR}/gen)
  set(gen_dir ${gen_root}/${ARG_NAMESPACE})
  set(outputs ${gen_dir}/type_infos.h ${gen_dir}/fwd.h ${gen_dir}/all.h ${gen_dir}/type_list.inc ${gen_dir}/tables.h
              ${gen_dir}/registration.cc ${gen_dir}/schema_model.json)
  set(sources ${gen_dir}/registration.cc)
  foreach(schema IN LISTS ARG_SCHEMAS)
    get_filename_component(stem ${schema} NAME_WE)
    list(APPEND outputs ${gen_dir}/records_${stem}.cc)
    list(APPEND sources ${gen_dir}/records_${stem}.cc)
  endforeach()
  set(import_args)
  foreach(imported IN LISTS PELK_RUNTIME_SCHEMA ARG_IMPORTS)
    list(APPEND import_args --import ${imported})
  endforeach()
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${PELK_GENERATOR_DIR}
            ${Python3_EXECUTABLE} -m pelkgen --out ${gen_root} ${import_args} ${ARG_SCHEMAS}
    DEPENDS ${ARG_SCHEMAS} ${PELK_RUNTIME_SCHEMA} ${ARG_IMPORTS} ${PELK_GENERATOR_SOURCES}
    COMMENT "Generating the ${ARG_NAMESPACE} type library"
    VERBATIM)
  add_library(${target} SHARED ${sources} ${ARG_SOURCES})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${gen_root}>)
  target_link_libraries(${target} PUBLIC ${ARG_LINK})
  string(TOUPPER ${ARG_NAMESPACE} ns_upper)
  target_compile_definitions(${target} PRIVATE ZAMLI_BUILDING_${ns_upper}_TYPES)
  # Optimised for size, as far as the compiler goes: the generated code is
  # records, registration and thin members, while the work on values is the
  # runtime's, built -O2.
  target_compile_options(${target} PRIVATE $<$<CONFIG:Release,RelWithDebInfo>:-Oz>)
  # Unwind tables only for functions an exception can leave: most members
  # here cannot throw, or only throw from a tail call. The compiler can drop
  # their tables only when it writes them itself rather than through the
  # assembler's directives.
  target_compile_options(${target} PRIVATE $<$<CONFIG:Release,RelWithDebInfo>:-fno-asynchronous-unwind-tables -fno-dwarf2-cfi-asm>)
  target_link_options(${target} PRIVATE ${PELK_NO_UNDEFINED} ${PELK_TYPE_LIBRARY_LINK_OPTIONS})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${PELK_TYPE_LIBRARY_MAP} ${PELK_TYPE_LIBRARY_DYNAMIC})
  set_property(TARGET ${target} PROPERTY PELK_SCHEMA_MODEL ${gen_dir}/schema_model.json)
  # The generated sources share most of their headers and inline code:
  # compiled nine to a translation unit, that is parsed and generated once per
  # batch rather than once per schema, and the interface's two batches still
  # keep two cores busy.
  # Registration defines every class's traits after the code that reads them,
  # which only works with no other records ahead of it: it stays on its own.
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 9)
  set_source_files_properties(${gen_dir}/registration.cc PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endfunction()

# pelk_runtime_records_check(<target> LINK <runtime>)
#
# Builds the check of the runtime's hand-written records against the runtime's
# schema, and runs it as soon as it is built: a difference fails the build.
function(pelk_runtime_records_check target)
  cmake_parse_arguments(ARG "" "LINK" "" ${ARGN})
  set(source ${CMAKE_BINARY_DIR}/gen/kettar/runtime_records_check.cc)
  add_custom_command(
    OUTPUT ${source}
    COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${PELK_GENERATOR_DIR}
            ${Python3_EXECUTABLE} -m pelkgen --out ${CMAKE_BINARY_DIR}/gen ${PELK_RUNTIME_SCHEMA}
    DEPENDS ${PELK_RUNTIME_SCHEMA} ${PELK_GENERATOR_SOURCES}
    COMMENT "Generating the check of the runtime's records"
    VERBATIM)
  add_executable(${target} ${source})
  target_link_libraries(${target} PRIVATE ${ARG_LINK})
  add_custom_command(TARGET ${target} POST_BUILD COMMAND ${target} VERBATIM)
endfunction()
