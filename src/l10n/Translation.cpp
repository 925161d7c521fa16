#include "l10n/Translation.h"

#include <QLocale>
#include <QTranslator>

#include <clocale>

namespace qd::l10n {

namespace {

QTranslator& catalogue()
{
    static QTranslator translator;
    return translator;
}

// The locale the C library takes messages from: the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty.
QString messagesLocale()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        QString value = qEnvironmentVariable(name);
        if (!value.isEmpty()) {
            return value;
        }
    }
    return QStringLiteral("C");
}

} // namespace

bool useSystemLanguage(const QString& name)
{
    const QString locale = messagesLocale();
    // The C locale asks for the programs' own texts, whatever LANGUAGE says
    // (as gettext does): scripts set it to get output they can parse.
    if (locale == QLatin1String("C") || locale == QLatin1String("POSIX") ||
        locale.startsWith(QLatin1String("C."))) {
        return false;
    }
    // QLocale::system() reads the same variables, LANGUAGE first for the
    // order of preference; the load tries uk_UA, then uk.
    return catalogue().load(QLocale::system(), name, QStringLiteral("_"), QStringLiteral(":/i18n"));
}

QString translate(const char* context, const char* source)
{
    const QString text = catalogue().isEmpty() ? QString() : catalogue().translate(context, source);
    return text.isEmpty() ? QString::fromUtf8(source) : text;
}

QString language()
{
    const QString loaded = catalogue().language();
    return loaded.isEmpty() ? QStringLiteral("en") : loaded.section(QLatin1Char('_'), 0, 0);
}

void keepDecimalPoint()
{
    std::setlocale(LC_NUMERIC, "C");
}

} // namespace qd::l10n
