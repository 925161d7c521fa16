#include "app/CommandLine.h"

#include <QString>

namespace qd {

CommandLine parseCommandLine(const std::vector<std::string>& args)
{
    CommandLine c;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            c.help = true;
        } else if (arg == "--version") {
            c.version = true;
        } else if (arg == "--kiosk") {
            c.kiosk = true;
        } else if (arg == "--keyboard-layout") {
            c.printLayout = true;
        } else if (arg == "--exit-keys" || arg.rfind("--exit-keys=", 0) == 0) {
            std::string keys;
            if (arg.size() > std::string("--exit-keys").size()) {
                keys = arg.substr(std::string("--exit-keys=").size());
            } else if (i + 1 < args.size()) {
                keys = args[++i];
            }
            // A sequence of one key with its modifiers, as "Ctrl+Alt+Shift+End".
            c.exitKeys =
                QKeySequence::fromString(QString::fromStdString(keys), QKeySequence::PortableText);
            if (c.exitKeys.count() != 1 || c.exitKeys[0].key() == Qt::Key_unknown) {
                c.error = "--exit-keys: not one key with its modifiers: '" + keys + "'";
                c.exitKeys = QKeySequence();
            }
        }
    }
    return c;
}

} // namespace qd
