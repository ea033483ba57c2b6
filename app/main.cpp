#include "app/application.h"
#include "app/mainwindow.h"
#include "platform/platform.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {
void describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Fetches the CSV day files of a KZ640TL data logger from an FTP server and shows them."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A logger CSV file to open on the CSV page."),
                                 QStringLiteral("[file]"));
}

// --help and --version are answered before any window exists, so they work
// without a display.
bool asksForTextOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        for (const char* o : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], o) == 0) return true;
    }
    return false;
}
} // namespace

int main(int argc, char** argv) {
    if (asksForTextOnly(argc, argv)) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
        QCoreApplication::setApplicationVersion(QStringLiteral(TERVANE_VERSION));
        QCommandLineParser parser;
        describe(parser);
        parser.process(core); // prints and exits
        return 0;
    }
    TApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TERVANE_VERSION));
    QCommandLineParser parser;
    describe(parser);
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "tervane640: give one file at most\n");
        return 1;
    }
    TForm1 form;
    if (!files.isEmpty()) form.OpenFileAtStart(files.first());
    form.show();
    return app.exec();
}
