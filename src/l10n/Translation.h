#pragma once

// The examiner's programs speak the language of the system's messages where
// a catalogue of theirs exists (Ukrainian), English otherwise: the source
// texts are English and a text missing from a catalogue stays English.
//
// The catalogues are compiled from translations/*.ts at build time and
// embedded in the program (":/i18n/<catalogue>_<language>.qm"), so an
// installed program needs no file beside it.
//
// The lookup does not go through QCoreApplication: the examiner's tool
// makes its application object late, only when it needs fonts, and its
// usage and faults are printed before that.

#include <QString>

namespace qd::l10n {

// Loads the catalogue for the system's language of messages: LC_ALL, else
// LC_MESSAGES, else LANG (the first one set, as the C library reads them);
// under the C or POSIX locale, or where none is set, English. Beyond that,
// LANGUAGE may name preferred languages, as Qt reads it. Returns whether a
// catalogue was loaded. Called once, before any text is looked up.
bool useSystemLanguage(const QString& catalogue);

// The text in the loaded catalogue's language, or the source text itself.
QString translate(const char* context, const char* source);

// The language in use: "uk", or "en" when no catalogue was loaded.
QString language();

// Puts the C library's numbers back into the C locale (a decimal point).
// Qt's application object adopts the system's locale for everything, and
// printf and strtod would then write and read the reports' points, the
// exports and the figures with a decimal comma under a Ukrainian locale.
// Called right after the application object is made.
void keepDecimalPoint();

} // namespace qd::l10n

// Gives a namespace its tr(text), looked up under `context`, which is the
// namespace's full name: lupdate is told to read this macro as
// Q_DECLARE_TR_FUNCTIONS, and files every tr("...") called inside the
// namespace under that name. A member function of a class in the namespace
// calls it as ns::tr: lupdate would otherwise file the text under the
// class's name, where the lookup does not search.
#define QD_TRANSLATABLE(context)                                                                   \
    inline QString tr(const char* source)                                                          \
    {                                                                                              \
        return ::qd::l10n::translate(#context, source);                                            \
    }
