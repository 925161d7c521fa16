# The compiler as a reviewer: one set of warnings for every target the
# project builds (libraries, programs, tests, benchmarks, fuzz targets),
# gcc and clang alike.
#
# QT_NO_CAST_FROM_ASCII and QT_NO_CAST_TO_ASCII are part of it: the tests'
# texts are code page 1251 bytes, so no char* may become a QString (or the
# reverse) by Qt's silent UTF-8 guess. Literals say what they are
# (QStringLiteral, QLatin1StringView, u"..."_s, QString::fromUtf8) and 1251
# bytes go through definition/Cp1251.h.
#
# QUIZDESK_WERROR turns every warning into an error; CI sets it (Makefile).
option(QUIZDESK_WERROR "Treat compiler warnings as errors" OFF)

add_library(quizdesk_warnings INTERFACE)
target_compile_options(quizdesk_warnings INTERFACE
  -Wall -Wextra -Wshadow -Wformat=2 -Wold-style-cast -Wnon-virtual-dtor
  -Woverloaded-virtual -Wimplicit-fallthrough -Wcast-qual
  $<$<BOOL:${QUIZDESK_WERROR}>:-Werror>)
target_compile_definitions(quizdesk_warnings INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII)

# Every compiled target below `dir` links the warnings PRIVATE; run once the
# whole tree is declared, so that a new target cannot be left out.
function(quizdesk_link_warnings dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      target_link_libraries(${t} PRIVATE quizdesk_warnings)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(d ${subdirs})
    quizdesk_link_warnings(${d})
  endforeach()
endfunction()

# At the end of the top-level CMakeLists.txt, whichever way it ends (the fuzz
# build returns early).
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR}
               CALL quizdesk_link_warnings ${PROJECT_SOURCE_DIR})
