// Builds the real main window for a test, in a working folder of the test's
// own, and runs the program's start-up as the first focus does.
#pragma once

#include "app/mainwindow.h"
#include "controls.h"
#include "fakeplatform.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

struct WindowFixture {
    QTemporaryDir work;
    std::unique_ptr<TForm1> form;

    WindowFixture() {
        QDir::setCurrent(work.path());
        // Settings that are not in the start folder go to the user's configuration
        // folder: here one inside the test's own folder, never the real home.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(work.filePath(QStringLiteral(".config"))));
    }
    ~WindowFixture() { close(); }

    // Creates the window; `beforeShow` may set controls before start-up reads csv.cfg.
    // Unless `restored`, the window then has its designed size, whatever the test
    // platform's screen (the offscreen one is 800x600) or an earlier run left.
    bool open(const std::function<void(TForm1&)>& beforeShow = {}, bool restored = false) {
        QDir::setCurrent(work.path());
        form = std::make_unique<TForm1>();
        if (beforeShow) beforeShow(*form);
        form->show();
        if (!restored) form->resize(TForm1::kDesignSize);
        if (!QTest::qWaitForWindowExposed(form.get())) return false;
        // Start-up runs when the page control first gets the focus, and only then:
        // nothing here calls it, so a broken wiring fails every window test.
        for (int i = 0; i < 500 && !form->Initialised(); ++i)
            QTest::qWait(10);
        return form->Initialised();
    }
    void close() { form.reset(); }
    // "Security": "Plain FTP" in tervane640.ini beside a csv.cfg in the start folder, for a server without
    // TLS (under "TLS if available" the log-on at start-up would not send the password in clear).
    void plainFtp() const {
        QSettings(path(QStringLiteral("tervane640.ini")), QSettings::IniFormat)
            .setValue(QStringLiteral("Connection/Security"), QStringLiteral("Plain"));
    }
    QString path(const QString& name) const { return work.filePath(name); }
};
