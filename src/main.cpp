#include "mainwindow/main_window.h"
#include "mainwindow/product.h"
#include "mainwindow/qt_user_dialogs.h"
#include "storage/data_folder.h"

#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <malloc.h>

int main(int argc, char* argv[]) {
    // Blocks of a megabyte and more (a large collection's index, its list)
    // go straight to the system and back, so that a freed one is never left
    // stranded between smaller blocks: memory stays level over any number of
    // saves. The index texts themselves are kept and reused by the store.
    ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("stanzel"));
    QApplication::setApplicationDisplayName(QString::fromLatin1(stanzel::product::kTitle));
    QApplication::setDesktopFileName(QStringLiteral("org.stanzel_notebook.Stanzel"));

    const std::filesystem::path programDir = QCoreApplication::applicationDirPath().toStdString();
    const std::filesystem::path dataFolder = stanzel::ChooseDataFolder(
        programDir, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString());
    // An installed program ships its translations apart from the collection.
    if (const auto shipped = stanzel::ShippedLanguageFolder(programDir))
        stanzel::CopyMissingLanguageFiles(*shipped, dataFolder / "lang");

    const auto lock = stanzel::CollectionLock::Acquire(dataFolder);
    if (!lock) {
        QMessageBox::warning(nullptr, QString::fromLatin1(stanzel::product::kTitle),
                             QStringLiteral("Stanzel is already open on the collection in %1.")
                                 .arg(QString::fromStdString(dataFolder.string())));
        return 1;
    }

    stanzel::QtUserDialogs dialogs;
    stanzel::MainWindow window(dataFolder, dialogs);
    window.show();
    return app.exec();
}
