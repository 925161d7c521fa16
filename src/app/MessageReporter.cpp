#include "app/MessageReporter.h"

#include "definition/Cp1251.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdlib>
#include <utility>

namespace qd {

MessageReporter::MessageReporter() : m_actions(systemActions()) {}

MessageReporter::MessageReporter(Actions actions) : m_actions(std::move(actions)) {}

void MessageReporter::error(const std::string& text, bool fatal) const
{
    const QString shown = QString::fromStdString(fromCp1251(text));
    if (m_actions.beep) {
        m_actions.beep();
    }
    if (m_actions.box) {
        m_actions.box(caption(), shown);
    }
    if (fatal && m_actions.exit) {
        m_actions.exit(0);
    }
}

QString MessageReporter::caption()
{
    return QStringLiteral("Програма QUIZDESK");
}

MessageReporter::Actions MessageReporter::systemActions()
{
    Actions a;
    a.beep = [] { QApplication::beep(); };
    a.box = [](const QString& caption, const QString& text) {
        QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
        box.setObjectName(QStringLiteral("MessageBox"));
        box.exec();
    };
    a.exit = [](int code) { std::exit(code); };
    return a;
}

} // namespace qd
