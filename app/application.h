// The application object: its title, and the standard error box that shows
// what an event handler raised and did not handle, after which the program goes on.
#pragma once

#include "platform/guarded.h"

#include <QApplication>

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
