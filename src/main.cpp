#include "mainwindow/main_window.h"
#include "mainwindow/product.h"
#include "mainwindow/qt_user_dialogs.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("stanzel"));
    QApplication::setApplicationDisplayName(QString::fromLatin1(stanzel::product::kTitle));
    QApplication::setDesktopFileName(QStringLiteral("stanzel"));

    stanzel::QtUserDialogs dialogs;
    // Everything the program keeps lives beside the executable.
    stanzel::MainWindow window(QCoreApplication::applicationDirPath().toStdString(), dialogs);
    window.show();
    return app.exec();
}
