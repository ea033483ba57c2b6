#include "platform/guarded.h"

#include "ftp/ftperrors.h"
#include "platform/platform.h"

void ShowStandardError(const std::exception& e) {
    // An engine wait ended because the window is closing or the engine is going away:
    // nothing went wrong that the user should hear of.
    if (dynamic_cast<const EAbortError*>(&e)) return;
    Platform::instance().showError(StandardErrorText(QString::fromStdString(e.what())));
}
