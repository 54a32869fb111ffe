#include "localisation/interface_strings.h"
#include "mainwindow/main_window.h"
#include "mainwindow/product.h"
#include "mainwindow/qt_user_dialogs.h"
#include "storage/data_folder.h"

#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("stanzel"));
    QApplication::setApplicationDisplayName(QString::fromLatin1(stanzel::product::kTitle));
    QApplication::setDesktopFileName(QStringLiteral("org.stanzel_notebook.Stanzel"));

    const std::filesystem::path programDir = QCoreApplication::applicationDirPath().toStdString();
    const std::filesystem::path dataFolder = stanzel::ChooseDataFolder(
        programDir,
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString());
    // An installed program ships its translations apart from the collection.
    if (const auto shipped = stanzel::ShippedLanguageFolder(programDir))
        stanzel::CopyMissingLanguageFiles(*shipped, dataFolder / "lang");

    const auto lock = stanzel::CollectionLock::Acquire(dataFolder);
    if (!lock) {
        const auto strings = stanzel::InterfaceStrings::OfCollection(dataFolder);
        QMessageBox::warning(nullptr, QString::fromLatin1(stanzel::product::kTitle),
                             QString::fromStdString(stanzel::FormatTemplate(strings["alreadyopen"],
                                                                            dataFolder.string())));
        return 1;
    }

    stanzel::QtUserDialogs dialogs;
    stanzel::MainWindow window(lock->folder(), dialogs);
    window.show();
    return app.exec();
}
