# Helpers shared by the folders' CMakeLists.

# One static library per engine folder, from every .cpp in it.
function(vantor_library name)
  cmake_parse_arguments(L "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC vantor_winapi ${L_LIBS})
  else()
    # A folder whose code is still to come: header-only until then.
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE vantor_winapi ${L_LIBS})
  endif()
endfunction()

# A GoogleTest executable registered with CTest. Tests run in their build
# folder; `VANTOR_CASES` raises the case count of random and property tests.
function(vantor_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  # The repository, for tests that read sources (also VANTOR_SOURCE_DIR).
  target_compile_definitions(${name} PRIVATE VANTOR_SOURCE_DIR_DEFAULT="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} DISCOVERY_TIMEOUT 120
                       PROPERTIES ENVIRONMENT "VANTOR_RUN_DIR=${VANTOR_RUN_DIR}")
endfunction()

# Texts written readably in UTF-8 reach the program as code page 949 bytes:
# cp949lit turns a text list into a header of escaped string literals, so
# neither compiler needs an execution character set option.
function(vantor_cp949_header input output)
  get_filename_component(directory ${output} DIRECTORY)
  file(MAKE_DIRECTORY ${directory})
  add_custom_command(
    OUTPUT ${output}
    COMMAND cp949lit ${input} ${output}
    DEPENDS cp949lit ${input}
    COMMENT "Code page 949 texts from ${input}")
endfunction()
