#include "app/KeyboardLayout.h"

#include "app/Kiosk.h"
#include "app/ObjectNames.h"
#include "definition/TestLoader.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QWidget>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qd {

int printKeyboardLayout()
{
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::current_path(ec);
    // Only the settings are wanted: the font's width changes no layout.
    const LoadResult loaded =
        loadTestDir(dir, WindowGeometry{}, [](int fontSize, bool) { return fontSize * 3 / 5; });
    if (!loaded.ok()) {
        std::fprintf(stderr, "%s\n", loaded.fault().utf8().c_str());
        return 1;
    }
    std::printf("%s\n", xkbLayoutName(loaded.value()->keyboardLayout).c_str());
    return 0;
}

bool layoutLeftToStudent()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

namespace {

// The line hides for good with the title page's panel.
class LayoutLine : public QLabel
{
public:
    LayoutLine(const QString& text, QWidget& window, QWidget* titlePanel) : QLabel(text, &window)
    {
        if (titlePanel != nullptr) {
            titlePanel->installEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide) {
            hide();
        }
        return QLabel::eventFilter(watched, event);
    }
};

} // namespace

void showExpectedLayout(QWidget& mainWindow, int kbLayout)
{
    static const char* const kNames[] = {"англійська (США)", "російська", "українська"};
    if (kbLayout < 0 || kbLayout > 2) {
        return;
    }
    auto* titlePanel = mainWindow.findChild<QWidget*>(QLatin1String(mainWindowNames::titlePanel));
    auto* header = mainWindow.findChild<QWidget*>(QLatin1String(mainWindowNames::headerPanel));
    auto* line = new LayoutLine(QStringLiteral("Розкладка клавіатури для цього тесту: ") +
                                    QString::fromUtf8(kNames[kbLayout]),
                                mainWindow, titlePanel);
    line->setObjectName(QLatin1String(mainWindowNames::layoutLine));
    QFont font = line->font();
    font.setPixelSize(17);
    font.setBold(true);
    line->setFont(font);
    // Blue on the window's own grey, as the title page's other lines.
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    line->setPalette(palette);
    line->setAlignment(Qt::AlignCenter);
    line->setAutoFillBackground(true);
    const int top = header != nullptr ? header->geometry().bottom() + 1 : 0;
    line->setGeometry(0, top, mainWindow.width(), line->sizeHint().height());
    line->raise();
    line->show();
}

} // namespace qd
