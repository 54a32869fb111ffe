#pragma once

#include "counting/syllable_table.h"
#include "localisation/interface_strings.h"
#include "localisation/qt_locale.h"
#include "mainwindow/poem_edit.h"
#include "search/online_search.h"
#include "spelling/poem_language.h"
#include "spelling/spell_checked_line_edit.h"
#include "storage/colour.h"
#include "storage/draft_store.h"
#include "storage/poem_store.h"
#include "storage/settings.h"

#include <QDateTime>
#include <QMainWindow>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QTextEdit;
class QToolBar;
class QToolButton;
class QTableView;
class QTimer;

namespace stanzel {

class EngineEditor;
class FindInPoemsPanel;
class FindQuery;
class PoemCounting;
class PoemListModel;
class FolderLook;
class FolderWatch;
struct ConflictCopyNames;
class SpellCheckedLineEdit;
class SpellingHighlighter;
class SpellingSession;
class SyllableMargin;
class UserDialogs;
struct PrintedPoem;

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

// The window's commands. Each action is shared by the menus, the toolbar and
// the pop-up menu that show it.
struct MainWindowActions {
    QAction* newPoem = nullptr;
    QAction* savePoem = nullptr;
    QAction* exportPoem = nullptr;
    QAction* exportAll = nullptr;
    QAction* exportPdf = nullptr;
    QAction* printPreview = nullptr;
    QAction* print = nullptr;
    QAction* exit = nullptr;
    QAction* toggleToolbar = nullptr;
    QAction* toggleStatusBar = nullptr;
    QAction* toggleRowColouring = nullptr;
    QAction* toggleIdColumn = nullptr;
    QAction* toggleSyllableCounts = nullptr;
    QAction* searchTitle = nullptr;
    QAction* findInPoems = nullptr;
    QAction* searchOnline = nullptr;
    QAction* deletePoem = nullptr;
    QAction* recoverDraft = nullptr;
    QAction* chooseListColour = nullptr;
    QAction* chooseSecondRowColour = nullptr;
    QAction* chooseSearchColour = nullptr;
    QAction* chooseTitleColour = nullptr;
    QAction* choosePoetColour = nullptr;
    QAction* chooseDateColour = nullptr;
    QAction* choosePoemColour = nullptr;
    QAction* restoreDefaultColours = nullptr;
    QAction* editSearchEngines = nullptr;
    QAction* spellingOff = nullptr; // Edit > Spelling > Off
    QAction* chooseEnglish = nullptr;
    QAction* about = nullptr;
    QAction* openHomePage = nullptr;
    QAction* writeEmail = nullptr;
    QAction* openMenuBar = nullptr; // F10, in no menu
    QAction* zoomIn = nullptr;
    QAction* zoomOut = nullptr;
    QAction* zoomReset = nullptr;
};

struct MainWindowMenus {
    QMenu* file = nullptr;
    QMenu* view = nullptr;
    QMenu* edit = nullptr;
    QMenu* colours = nullptr;
    QMenu* spelling = nullptr; // Edit > Spelling: the dictionaries and Off
    QMenu* language = nullptr;
    QMenu* help = nullptr;
    QMenu* listPopup = nullptr; // the poem list's right-click menu
    QMenu* engines = nullptr;   // the online-search button's arrow
};

// The captions above the editor's boxes.
struct EditorLabels {
    QLabel* title = nullptr;
    QLabel* poet = nullptr;
    QLabel* date = nullptr;
    QLabel* poem = nullptr;
};

// What the editor's boxes hold, as they show it.
struct EditorContents {
    QString title;
    QString poet;
    QString date;
    QString text;
    bool operator==(const EditorContents&) const = default;
};
// A stored poem as the boxes show it.
EditorContents AsShown(const PoemRecord& poem);

// The program's one document window: the poem list on the left, the editor
// for one poem on the right, and every command in its menus and toolbar.
// Handlers read the boxes, call the core and show the result; an error any of
// them raises is shown in a message box and the program goes on.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    // The collection in `collection`, the folder held open for the run.
    MainWindow(std::shared_ptr<const Folder> collection, UserDialogs& dialogs,
               QWidget* parent = nullptr);
    MainWindow(const std::filesystem::path& programDir, UserDialogs& dialogs,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // File
    void newPoem();
    void savePoem();
    void exportPoem();
    void exportAll();
    void exportPdf();
    void previewPrint();
    void printPoem();
    void exitProgram();
    // View
    void toggleToolbar();
    void toggleStatusBar();
    void toggleRowColouring();
    void toggleIdColumn();
    void toggleSyllableCounts();
    // Edit
    void searchTitle();
    void findInPoems();
    void searchOnline();
    void searchPoetOnline();
    void chooseEngine(int position);
    void editSearchEngines();
    void deletePoem();
    void recoverDraft();
    void chooseListColour();
    void chooseSecondRowColour();
    void chooseSearchColour();
    void chooseTitleColour();
    void choosePoetColour();
    void chooseDateColour();
    void choosePoemColour();
    void restoreDefaultColours();
    // Edit > Spelling: the dictionary at the menu's position, or none.
    void chooseDictionary(int position);
    void turnSpellingOff();
    // Language
    void chooseEnglish();
    void chooseLanguage(int position);
    // Applies a language: its captions at once, its messages for later.
    void applyLanguage(const std::string& language);
    // Help
    void showAbout();
    void openHomePage();
    void writeEmail();
    void openMenuBar();
    // View: the poem box's zoom, in steps from its normal size.
    void zoomPoem(int steps);
    void zoomPoemIn() { zoomPoem(+1); }
    void zoomPoemOut() { zoomPoem(-1); }
    void resetPoemZoom() { zoomPoem(-poemZoom_); }
    int poemZoom() const { return poemZoom_; }
    // A click on the list's header: by that column up, down, then index order.
    void sortListBy(int column);
    // The poem list
    void selectPoem(int row);
    // A click on a row: the selected row's poem loads again when the editor
    // no longer holds it (after New or an import); otherwise the selection
    // has loaded it already.
    void clickPoem(int row);
    // The drop handler: the files dropped onto the window, as local paths.
    void importDroppedFiles(const std::vector<std::filesystem::path>& paths);

    std::int32_t currentPoemId() const { return currentPoemId_; }
    int selectedRow() const { return selectedRow_; }
    const std::string& currentLanguage() const { return currentLanguage_; }
    std::int32_t languageIndex() const { return languageIndex_; }
    const InterfaceStrings& strings() const { return strings_; }
    const WindowColours& colours() const { return colours_; }
    const OnlineSearch& onlineSearch() const { return search_; }
    PoemListModel& poemList() const { return *listModel_; }
    const MainWindowActions& actions() const { return actions_; }
    const MainWindowMenus& menus() const { return menus_; }
    const EditorLabels& labels() const { return labels_; }
    QLineEdit* titleEdit() const { return titleEdit_; }
    QLineEdit* poetEdit() const { return poetEdit_; }
    QLineEdit* dateEdit() const { return dateEdit_; }
    QLineEdit* searchEdit() const { return searchEdit_; }
    QTextEdit* poemEdit() const { return poemEdit_; }
    QTableView* poemListView() const { return listView_; }
    QToolBar* toolBar() const { return toolBar_; }
    QToolButton* poetSearchButton() const { return poetSearchButton_; }
    QLabel* statusLabel() const { return statusLabel_; }
    // The poem's counts in the status bar, shown while the poem box has the cursor.
    QLabel* countsLabel() const { return countsLabel_; }
    SyllableMargin* syllableMargin() const { return syllableMargin_; }
    const PoemCounting& poemCounting() const { return *counting_; }
    FindInPoemsPanel& findPanel() const { return *findPanel_; }
    // The language of the poems (Edit > Spelling); off until the start has
    // chosen it, after the first paint.
    const PoemLanguage& poemLanguage() const;
    // Nothing until the window has painted itself once.
    SpellingSession* spelling() const { return spelling_.get(); }
    // The poem box's marks; nothing until the window has painted itself once.
    const SpellingHighlighter* poemSpelling() const { return poemSpelling_; }
    // Edit > Spelling's dictionaries, in menu order (Off is not among them).
    const std::vector<QAction*>& dictionaryActions() const { return dictionaryActions_; }
    // Where dictionaries are looked for; Debian's folders unless set before
    // the window is shown.
    void setDictionaryFolders(std::vector<std::filesystem::path> folders) {
        dictionaryFolders_ = std::move(folders);
    }
    // Where the English syllable table is looked for, first found first;
    // beside the program unless set before the window is shown.
    void setSyllableTablePlaces(std::vector<std::filesystem::path> places) {
        syllableTablePlaces_ = std::move(places);
    }
    // The time of day for the last-save stamp; tests fix it.
    void setClock(Clock clock) { clock_ = std::move(clock); }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addCommand(const char* iconName, const char* iconFile,
                        void (MainWindow::*handler)() = nullptr);
    void createActions();
    void createMenus();
    void createToolBar();
    void createCentralWidget();
    void readStartSettings();
    // The size and place the window last closed with, inside the screen.
    void placeWindow();
    // Find in Poems: its command, panel and what choosing a result does.
    void createFindInPoems();
    void openFoundPoem(int row);
    void showFirstMatch(const FindQuery& query);
    // Print Preview and Export as PDF, in the File menu beside Print.
    void createPrintCommands();
    // The zoom commands and the list's sorting header.
    void createReadingCommands();
    void readReadingSettings(const IniFile& settings);
    void writeReadingSettings(IniFile& settings) const;
    void showListOrder();
    // Ctrl+wheel over the poem zooms it; true when it took the event.
    bool takeZoomWheel(QObject* watched, QEvent* event);
    // The poem in the editor as the page lays it out, saved or not.
    PrintedPoem printedPoem() const;
    void runStartupSteps();
    // What the window does not wait for: the rest of the list, the tidying
    // of the collection's folders. Begun once the window is on the screen.
    void startBackgroundWork();
    void applyCaptions();
    void applyColours();
    // Before each command: the index read again when another program
    // changed it, the selection kept on the editor's poem.
    void refreshCollection();
    void readMoreOfTheIndex();
    // The collection's folders looked through a slice of names a turn; at
    // the end, the conflict copies found are taken in.
    void lookThroughFolders();
    // What another program or computer writes into the collection: the
    // folders watched, changes gathered for a moment and taken in one step.
    void watchCollection();
    void armFolderWatch();
    void takeOutsideChanges();
    // The folders looked through again for the sync tools' conflict copies
    // when one was added, or, where the watch cannot tell, when their names
    // changed since the last look.
    void takeConflictCopies();
    // The conflict copies a look found taken in, what came back told in the
    // status bar.
    void mergeConflictCopies(const ConflictCopyNames& names);
    void followOpenPoem();
    // Before a save: a version of the poem written elsewhere since it was
    // loaded is kept as a draft, so that both survive.
    // The identity of the poem's text as compared, for the save to hold it to.
    FileIdentity keepVersionSavedElsewhere();
    // The time a draft is kept under, "2026-12-08 10:15:42".
    std::string draftTime() const;
    // A draft's title in the Recover Draft list, with what kind of draft it is.
    QString draftListTitle(const Draft& draft) const;
    void selectRowQuietly(std::optional<std::size_t> row);
    // The row of the poem the editor holds becomes the highlighted one, in
    // sight; a new poem highlights none.
    void highlightEditorPoem();
    // The store row of the editor's poem; none for a poem not stored.
    std::optional<std::size_t> editorRow() const;
    // The window's title names the poem and marks an edit not yet saved.
    void showEditorState();
    bool editorHoldsEdit() const;
    // Says in the status bar, for a few seconds, why a command did nothing;
    // `argument` fills the text's "%s".
    void explain(std::string_view key, std::string_view argument = {});
    std::filesystem::path programDir() const { return collection_->path(); }
    // Spelling: its menu and dictionary, the marks, the words' pop-up menu.
    void startSpelling();
    void buildSpellingMenu();
    void applyPoemLanguage(const PoemLanguage& language);
    void takeSpellingResults();
    void recheckSpelling();
    void showWordMenu(QWidget* box, const QPoint& at);
    // The misspelt word a pop-up menu was opened on.
    struct WordMenuRequest {
        QPointer<QMenu> menu;
        QPointer<QAction> placeholder; // "Looking for suggestions…", before which they go
        std::uint64_t ticket = 0;      // the worker's answer awaited
        // Puts a suggestion in the word's place.
        std::function<void(const QString&)> replace;
    };
    void fillSuggestions(WordMenuRequest& request, const std::vector<std::string>& found);
    // The poem's counts: the margin, the status bar, the language they count in.
    void createCounting();
    void applyCountingLanguage();
    void showCounts();
    void clearEditor();
    // Drafts: an edit the editor is about to drop is kept first, without a
    // word; a draft that cannot be written changes nothing else.
    EditorContents editorContents() const;
    // Fills the boxes; the search box takes the title too.
    void showInEditor(const EditorContents& shown);
    void holdEditorContents();
    // Keeps the editor's unsaved edit as a draft before a command drops it.
    // False when no draft could be written and the user chose to keep the
    // edit: the command then leaves the editor as it was.
    [[nodiscard]] bool keepDraft(bool atClose = false);
    void announceKeptDraft();
    // Delete keeps the stored poem as a draft first, so that it can come
    // back; the draft's number.
    std::uint64_t keepDeletedPoem(const std::string& id);
    // A deleted poem's draft goes back into the collection: under its own id
    // while no other poem has taken it.
    PoemRecord restoreDeletedPoem(const PoemRecord& poem);
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
    // Dates and times as the interface's language writes them.
    QLocale interfaceLocale() const;
    // The text boxes (the editor's five and Find in Poems'), each as the
    // widget that receives drops.
    bool isDropTarget(const QObject* object) const;
    // Takes a drag that carries files away from a text box for the import;
    // true when it did.
    bool takeFileDrag(QEvent* event);
    // The keys that move the focus or the highlight where the widget's own
    // handling would not; true when it took the key.
    bool takeMovementKey(QObject* watched, const QKeyEvent& key);

    std::shared_ptr<const Folder> collection_;
    UserDialogs& dialogs_;
    // The two folders as they were at the last look for conflict copies.
    std::array<FileIdentity, 2> conflictsLookedAt_{};
    PoemStore store_;
    DraftStore drafts_;
    // The stored poem the editor holds, as it showed it; an edit is whatever
    // differs from it. Unused while the editor holds a new poem.
    EditorContents held_;
    Clock clock_;

    std::int32_t currentPoemId_ = 0;
    int selectedRow_ = -1;
    std::int32_t exportOneType_ = 0;
    std::int32_t exportAllType_ = 0;
    InterfaceStrings strings_;
    std::string currentLanguage_;
    QtTranslations qtTranslations_;
    std::int32_t languageIndex_ = 0;
    OnlineSearch search_;
    std::string lastSaveTime_;
    WindowColours colours_;
    bool startupDone_ = false;
    bool painted_ = false;
    int poemZoom_ = 0;

    MainWindowActions actions_;
    std::vector<QAction*> commands_; // every action above, for their shortcuts
    MainWindowMenus menus_;
    EditorLabels labels_;
    PoemListModel* listModel_ = nullptr;
    QTableView* listView_ = nullptr;
    SpellCheckedLineEdit* titleEdit_ = nullptr;
    QLineEdit* poetEdit_ = nullptr;
    QLineEdit* dateEdit_ = nullptr;
    QLineEdit* searchEdit_ = nullptr;
    PoemEdit* poemEdit_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QToolButton* printButton_ = nullptr;
    QToolButton* poetSearchButton_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QLabel* countsLabel_ = nullptr;
    PoemCounting* counting_ = nullptr;
    SyllableMargin* syllableMargin_ = nullptr;
    std::vector<std::filesystem::path> syllableTablePlaces_;
    std::shared_ptr<const SyllableTable> englishSyllables_; // once read
    bool englishSyllablesRead_ = false;                     // found or not
    bool syllableCountsAtStart_ = true;                     // View > Syllable Counts as read
    EngineEditor* engineEditor_ = nullptr;
    FindInPoemsPanel* findPanel_ = nullptr;
    std::vector<QAction*> engineActions_;   // by menu position, separators too
    std::vector<QAction*> languageActions_; // English first, then the language files
    QTimer* readTimer_ = nullptr;           // the index, then the folders, in slices
    FolderWatch* folderWatch_ = nullptr;
    QTimer* outsideChanges_ = nullptr; // gathers a burst of changes into one
    // The looks through the collection's folder and the poems' under way.
    std::array<std::unique_ptr<FolderLook>, 2> looks_;
    std::vector<std::filesystem::path> dictionaryFolders_;
    std::vector<QAction*> dictionaryActions_; // by installed dictionary
    std::string spellingSetting_;             // as stored, or as last chosen
    SpellingHighlighter* poemSpelling_ = nullptr;
    std::unique_ptr<WordMenuRequest> wordMenu_; // the open menu's word, awaiting suggestions
    // Declared last, so it goes first: its worker's thread ends while the
    // window it wakes is still whole.
    std::unique_ptr<SpellingSession> spelling_;
};

} // namespace stanzel
