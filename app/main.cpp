#include "app/application.h"
#include "app/mainwindow.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm1 form;
    form.show();
    return app.exec();
}
