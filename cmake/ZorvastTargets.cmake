# Helpers that keep every subsystem's CMakeLists short and alike.

# zorvast_core_library(NAME DIR... LIBS ...): a static library of the .cpp files in the
# given folders (relative to the caller). Core libraries never link Qt.
function(zorvast_core_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;LIBS" ${ARGN})
  if(NOT ARG_DIRS)
    set(ARG_DIRS .)
  endif()
  set(sources)
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_LIBS})
  endif()
endfunction()

# zorvast_ui_library(NAME LIBS ...): the Qt widgets of one subsystem (the caller's folder).
function(zorvast_ui_library name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${sources})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC Qt6::Widgets ${ARG_LIBS})
endfunction()

# Environment every test runs in: no display, WebEngine usable as root, quiet Qt.
set(ZORVAST_TEST_ENV
    "QT_QPA_PLATFORM=offscreen"
    "QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox"
    "QT_LOGGING_RULES=qt.webenginecontext.info=false"
    "QT_QUICK_BACKEND=software"
    # No test talks to the real servers: port 9 on this machine refuses at once.
    "ZORVAST_DATA_SERVERS=http://127.0.0.1:9")

# The CTest label of a test: the folder under tests/ it is declared in (unit, cli, data, gui,
# e2e), so `ctest -L unit` picks one group.
function(zorvast_test_group out)
  file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REGEX REPLACE "/.*" "" group "${relative}")
  set(${out} "${group}" PARENT_SCOPE)
endfunction()

# zorvast_gtest(NAME SOURCES ... LIBS ...): one GoogleTest executable registered with CTest.
function(zorvast_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
      ZORVAST_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
      ZORVAST_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  zorvast_test_group(group)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ZORVAST_TEST_ENV}" TIMEOUT 600
                                          LABELS "${group}")
  set_property(GLOBAL APPEND PROPERTY ZORVAST_GTEST_TARGETS ${name})
endfunction()

# zorvast_qtest(NAME SOURCES ... LIBS ...): one QTest executable, run offscreen.
function(zorvast_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
      ZORVAST_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
      ZORVAST_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  zorvast_test_group(group)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ZORVAST_TEST_ENV}" TIMEOUT 600
                                          LABELS "${group}")
endfunction()
