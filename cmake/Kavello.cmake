# Helpers shared by every folder's CMakeLists.txt.

# Adds every direct subfolder of DIR (relative to the current source dir) that has a
# CMakeLists.txt, so that a new module is a new folder and nobody edits a central list.
function(kavello_add_subdirectories dir)
  set(base ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${base} ${base}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${base}/${child} AND EXISTS ${base}/${child}/CMakeLists.txt)
      add_subdirectory(${base}/${child} ${CMAKE_CURRENT_BINARY_DIR}/${dir}/${child})
    endif()
  endforeach()
endfunction()

# kavello_test(NAME name LABELS label SOURCES a.cpp ... LIBS lib ... [TIMEOUT s])
# A GoogleTest executable whose cases are discovered at test time and carry the label.
function(kavello_test)
  cmake_parse_arguments(T "QT" "NAME;TIMEOUT" "LABELS;SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
  target_compile_definitions(${T_NAME} PRIVATE
    KAVELLO_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}/tests"
    KAVELLO_PROGRAM_DIR="${KAVELLO_PROGRAM_DIR}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # Discovered tests get their properties as one flat list, so each property holds a single
  # value: the first label (further labels are ignored) and the offscreen Qt platform.
  list(GET T_LABELS 0 label)
  set(env QT_QPA_PLATFORM=offscreen)
  if(T_ENVIRONMENT)
    message(FATAL_ERROR "kavello_test(${T_NAME}): ENVIRONMENT is not supported by test discovery; set it in the test")
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${label} TIMEOUT ${T_TIMEOUT} ENVIRONMENT ${env})
endfunction()

# Writes a filter module's class list beside it after each link (src/platform/com/class_list.h),
# so that the program registers the module's classes at start and loads the module only when
# one of them is first created.
function(kavello_module_class_list target)
  add_dependencies(${target} kavello-modclasses)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND kavello-modclasses $<TARGET_FILE:${target}>
            $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.classes
    VERBATIM)
endfunction()
