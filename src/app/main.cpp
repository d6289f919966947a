// k8w-prog: the programming utility's window program.
#include "app/card_base_claim.h"
#include "app/qt_message_boxes.h"
#include "app/tform1.h"
#include "cards/card_base.h"
#include "cards/card_file.h"

#include <QApplication>
#include <QFont>
#include <QScreen>

#include <exception>

namespace {

// Reports an exception in the standard box of the application.
void ShowException(const QString& message) {
    k8w::showMessage(QCoreApplication::applicationName(), message, k8w::MsgButtons::Ok,
                     k8w::MsgIcon::Error);
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

} // namespace

int main(int argc, char* argv[]) {
    K8wApplication app(argc, argv);
    // The application name stays the executable's: the database lock records
    // it, and a holder whose name is not its executable's is taken for stale.
    k8w::QtMessageBoxes boxes;
    k8w::setMessageBoxes(&boxes);
    int result = 1;
    try {
        k8w::CardBaseLock lock(k8w::kCardFileName);
        if (!k8w::ClaimCardBase(lock, k8w::kCardFileName)) {
            k8w::setMessageBoxes(nullptr);
            return 1;
        }
        k8w::TForm1 mainWindow;
        boxes.setParent(&mainWindow);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            mainWindow.move(screen->availableGeometry().center() - mainWindow.rect().center());
        mainWindow.show();
        result = QApplication::exec();
        boxes.setParent(nullptr);
    } catch (const std::exception& e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowException(QString());
    }
    k8w::setMessageBoxes(nullptr);
    return result;
}
