# The examiner's programs carry their Ukrainian catalogues compiled in:
# translations/<program>_uk.ts is compiled by lrelease at build time and
# embedded as the resource :/i18n/<program>_uk.qm (src/l10n loads it).
find_package(Qt6 REQUIRED COMPONENTS LinguistTools)

set(QUIZDESK_TRANSLATIONS_DIR ${PROJECT_SOURCE_DIR}/translations)
# tr() of a namespace comes from QD_TRANSLATABLE (src/l10n/Translation.h),
# which lupdate reads as Q_DECLARE_TR_FUNCTIONS.
set(QUIZDESK_LUPDATE_OPTIONS -tr-function-alias Q_DECLARE_TR_FUNCTIONS+=QD_TRANSLATABLE
                             -locations none -no-obsolete)

# How tests/scripts/translations.sh turns a target's lupdate project into the
# file lupdate reads (what the target <target>_lupdate does first).
set(QUIZDESK_LUPDATE_PROJECT_SCRIPT ${_Qt6_LINGUIST_TOOLS_DIR}/GenerateLUpdateProject.cmake)

# quizdesk_translations(target sources...): the target's catalogue from the
# texts of those sources.
function(quizdesk_translations target)
  set(ts ${QUIZDESK_TRANSLATIONS_DIR}/${target}_uk.ts)
  if(NOT EXISTS ${ts})
    # qt_add_translations would make a rule that writes an empty catalogue
    # over it: a new program starts with `lupdate SOURCES -ts FILE`.
    message(FATAL_ERROR "${ts} is missing")
  endif()
  qt_add_translations(${target}
    TS_FILES ${ts}
    SOURCES ${ARGN}
    LUPDATE_OPTIONS ${QUIZDESK_LUPDATE_OPTIONS})
  # For the test that every text is in the catalogue and translated.
  set_property(GLOBAL APPEND PROPERTY QUIZDESK_CATALOGUES
               "${CMAKE_CURRENT_BINARY_DIR}/.lupdate/${target}_project.cmake=${ts}")
endfunction()
