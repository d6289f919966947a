#include "app/run_main_window.h"

#include "app/app_fonts.h"
#include "app/card_base_claim.h"
#include "app/qt_message_boxes.h"
#include "app/tform1.h"
#include "app/window_command_line.h"
#include "store/card_base.h"
#include "store/card_file.h"
#include "store/card_store.h"
#include "common/cp1251.h"
#include "link/link_workers.h"

#include <QApplication>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace k8w {
namespace {

// Workers that outlived the main window get this long to end before the
// program leaves without running the destructors they may still need.
constexpr int kLateWorkerWaitMs = 5000;

// Reports an exception in the standard box of the application.
void ShowException(const QString& message) {
    showMessage(QCoreApplication::applicationName(), message, MsgButtons::Ok, MsgIcon::Error);
}

// Exceptions must not cross Qt's event loop: one escaping a handler is shown
// and ends the program.
class K8wApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowException(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            ShowException(QString());
        }
        exit(1);
        return false;
    }
};

int RunWindows(const AppHardware& hardware, QtMessageBoxes& boxes, CardBaseSource source) {
    if (!CheckTextCodec(kCp1251CodecName)) return 1;
    CardBaseLock lock(kCardFileName);
    std::unique_ptr<CardStore> store =
        OpenStartupCardBase(QCoreApplication::arguments(), source == CardBaseSource::Chosen, lock);
    if (!store) return 1;
    TForm1 mainWindow(std::move(store), hardware);
    boxes.setParent(&mainWindow);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        mainWindow.move(screen->availableGeometry().center() - mainWindow.rect().center());
    mainWindow.show();
    const int result = QApplication::exec();
    boxes.setParent(nullptr);
    return result;
}

} // namespace

bool CheckTextCodec(const char* codecName) {
    if (textCodecAvailable(codecName)) return true;
    showMessage(QStringLiteral("Ошибка"),
                QStringLiteral("Кодировка %1 недоступна: тексты карточек не могут быть прочитаны и "
                               "записаны.\nПрограмма будет закрыта.")
                    .arg(QString::fromLatin1(codecName)),
                MsgButtons::Ok, MsgIcon::Error);
    return false;
}

int RunMainWindow(int argc, char* argv[], const AppHardware& hardware, CardBaseSource source) {
    if (const std::optional<int> end = HandleWindowCommandLine(argc, argv, source == CardBaseSource::Chosen))
        return *end;
    K8wApplication app(argc, argv);
    loadAppFonts();
    // The application name stays the executable's: the database lock records
    // it, and a holder whose name is not its executable's is taken for stale.
    QtMessageBoxes boxes;
    setMessageBoxes(&boxes);
    int result = 1;
    try {
        result = RunWindows(hardware, boxes, source);
    } catch (const std::exception& e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowException(QString());
    }
    setMessageBoxes(nullptr);
    if (!link::WaitForLinkWorkers(kLateWorkerWaitMs)) {
        // A worker still holds the cable driver and the clock: leave without
        // destroying them under it.
        std::fflush(nullptr);
        std::_Exit(result);
    }
    return result;
}

} // namespace k8w
