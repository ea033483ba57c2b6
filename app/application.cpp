#include "app/application.h"

#include "platform/platform.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(kApplicationTitle));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowStandardError(e);
    } catch (...) {
        Platform::instance().showError(QStringLiteral("Unexpected error."));
    }
    return false;
}
