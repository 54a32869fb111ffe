#pragma once

#include "localisation/interface_strings.h"
#include "search/online_search.h"
#include "storage/colour.h"
#include "storage/poem_store.h"
#include "storage/settings.h"

#include <QDateTime>
#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QTextEdit;
class QToolBar;
class QToolButton;
class QTableView;

namespace stanzel {

class EngineEditor;
class PoemListModel;
class UserDialogs;

// The colours the user can give the window, as stored in the settings file.
struct WindowColours {
    Colour title = kBoxColour;
    Colour poet = kBoxColour;
    Colour date = kBoxColour;
    Colour poem = kBoxColour;
    Colour listBackground = kBoxColour;
    Colour search = kSearchColour;
    Colour secondRow = kSearchColour; // every second row of the list
    Colour list = kBoxColour;         // the list's rows and background
};

// The program's one document window: the poem list on the left, the editor
// for one poem on the right, and every command in its menus and toolbar.
// Handlers read the boxes, call the core and show the result; an error any of
// them raises is shown in a message box and the program goes on.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    MainWindow(std::filesystem::path programDir, UserDialogs& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Commands, by the name of the control they belong to.
    void New1Click();
    void Save1Click();
    void Delete1Click();
    void Exit1Click();
    void About1Click();
    void myPage1Click();
    void Email1Click();
    void ListView1SelectItem(int row);
    void oolbar1Click();
    void Statusbar2Click();
    void clistClick();
    void IDinList1Click();
    void Search1Click();
    void ToolButton12Click();
    void SpeedButton1Click();
    void SearchItemsClick(int position);
    void SearchEngines1Click();
    void Print1Click();
    void Saveas1Click();
    void Saveall1Click();
    void List1Click();
    void PoemsList2Items1Click();
    void NetSearch2Click();
    void Poem1Click();
    void Poet1Click();
    void Date1Click();
    void Poem2Click();
    void DefaultClick();
    void English1Click();
    void menuitemsclick(int position);
    // The drop handler: the files dropped onto the window, as local paths.
    void importDroppedFiles(const std::vector<std::filesystem::path>& paths);
    // Applies a language: its captions at once, its messages for later.
    void langtolang(const std::string& language);

    std::int32_t currentPoemId() const { return currentPoemId_; }
    int selectedRow() const { return selectedRow_; }
    const std::string& currentLanguage() const { return currentLanguage_; }
    std::int32_t languageIndex() const { return languageIndex_; }
    const InterfaceStrings& strings() const { return strings_; }
    const WindowColours& colours() const { return colours_; }
    const OnlineSearch& onlineSearch() const { return search_; }
    PoemListModel& poemList() const { return *listModel_; }
    // The time of day for the last-save stamp; tests fix it.
    void setClock(Clock clock) { clock_ = std::move(clock); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addAction(const char* name, const char* iconName, const char* iconFile,
                       void (MainWindow::*handler)() = nullptr);
    void createActions();
    void createMenus();
    void createToolBar();
    void createCentralWidget();
    void readStartSettings();
    void runStartupSteps();
    void applyCaptions();
    void applyColours();
    void fillPoemList();
    void clearEditor();
    void writeClosingSettings();
    void fillEngineMenu();
    void buildLanguageMenu();
    void markLanguage(const std::string& language);
    // Opens the colour chooser and, when the user confirms, changes `colour`.
    void chooseColour(Colour& colour);
    // Each colour of the window with its settings entry, in the stored order.
    std::vector<std::pair<const ColourSetting*, Colour*>> colourEntries();
    void showEngineChoice();
    bool saveEngineList(const QString& text);
    struct ExportSetup;
    std::unique_ptr<ExportSetup> exportSetup();
    void showError(const QString& text);
    // Runs a command under the top-level error handler.
    void guarded(const std::function<void()>& command);
    QString text(std::string_view key) const;
    QString nowStamp() const;

    std::filesystem::path programDir_;
    UserDialogs& dialogs_;
    PoemStore store_;
    Clock clock_;

    std::int32_t currentPoemId_ = 0;
    int selectedRow_ = -1;
    std::int32_t exportOneType_ = 0;
    std::int32_t exportAllType_ = 0;
    InterfaceStrings strings_;
    std::string currentLanguage_;
    std::int32_t languageIndex_ = 0;
    OnlineSearch search_;
    std::string lastSaveTime_;
    WindowColours colours_;
    bool startupDone_ = false;

    std::map<std::string, QAction*, std::less<>> actions_;
    PoemListModel* listModel_ = nullptr;
    QTableView* listView_ = nullptr;
    QLineEdit* titleEdit_ = nullptr;
    QLineEdit* poetEdit_ = nullptr;
    QLineEdit* dateEdit_ = nullptr;
    QLineEdit* searchEdit_ = nullptr;
    QTextEdit* poemEdit_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QToolButton* poetSearchButton_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    EngineEditor* engineEditor_ = nullptr;
    std::vector<QAction*> engineActions_;   // by menu position, separators too
    std::vector<QAction*> languageActions_; // English first, then the language files
    QColor lastChosenColour_ = Qt::black;
    std::map<std::string, QMenu*, std::less<>> menus_;
    std::map<std::string, QLabel*, std::less<>> labels_;
};

} // namespace stanzel
