#include "mainwindow/main_window.h"

#include "mainwindow/access_letters.h"
#include "mainwindow/find_in_poems_panel.h"
#include "mainwindow/hanging_indent.h"
#include "mainwindow/poem_edit.h"
#include "mainwindow/poem_list_model.h"
#include "mainwindow/product.h"
#include "mainwindow/qt_text.h"
#include "mainwindow/user_dialogs.h"
#include "search/engine_editor.h"
#include "spelling/spelling_highlighter.h"
#include "spelling/spelling_session.h"
#include "storage/atomic_file.h"
#include "storage/conflict_copies.h"
#include "storage/ini_file.h"
#include "storage/number_text.h"
#include "storage/settings.h"
#include "storage/storage_error.h"
#include "storage/window_place.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <fcntl.h>
#include <sys/stat.h>

// Resources in a static library must be registered by name.
static void InitResources() {
    Q_INIT_RESOURCE(icons);
    Q_INIT_RESOURCE(abiword);
}

namespace stanzel {

namespace {

QFont WithPointSize(QFont font, int points, bool bold = false, bool italic = false) {
    font.setPointSize(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

// The keys every text box answers the same way (select all, undo, the
// clipboard): in a box they stay the box's own, whatever command shares them.
bool IsEditingKey(const QKeyEvent& key) {
    for (const auto standard : {QKeySequence::SelectAll, QKeySequence::Undo, QKeySequence::Redo,
                                QKeySequence::Cut, QKeySequence::Copy, QKeySequence::Paste})
        if (key.matches(standard))
            return true;
    return false;
}

// How much of a large index one turn of the event loop reads: a few
// milliseconds' work, so the window answers while a million poems come in.
constexpr std::size_t kIndexSlice = 2 << 20;
// What the first paint shows: the first screenful and more.
constexpr std::size_t kFirstRows = 64 << 10;
constexpr std::size_t kLookSlice = 4096; // names of a folder
// A save whose poem another computer keeps changing gives up after this many looks.
constexpr int kSaveAttempts = 8;
// The window's size the first time, before it has a remembered one.
constexpr int kStartWidth = 643;
constexpr int kStartHeight = 556;
// The title bar and borders a window system adds, allowed for before the
// window is shown and the real ones are known.
constexpr FrameRoom kFrameAllowance{4, 32, 4};
// How long the status bar says why a command did nothing.
constexpr int kReasonMs = 6000;

} // namespace

MainWindow::MainWindow(const std::filesystem::path& programDir, UserDialogs& dialogs,
                       QWidget* parent)
    : MainWindow(Folder::Open(programDir), dialogs, parent) {}

MainWindow::MainWindow(std::shared_ptr<const Folder> collection, UserDialogs& dialogs,
                       QWidget* parent)
    : QMainWindow(parent), collection_(std::move(collection)), dialogs_(dialogs),
      store_(collection_), drafts_(collection_),
      clock_([] { return QDateTime::currentDateTime(); }),
      dictionaryFolders_(SystemDictionaryFolders()) {
    InitResources();
    setWindowTitle(QString::fromLatin1(product::kTitle));
    resize(kStartWidth, kStartHeight);

    createActions();
    createMenus();
    createToolBar();
    createCentralWidget();
    createFindInPoems();
    createPrintCommands();
    createReadingCommands();
    statusLabel_ = new QLabel(this);
    statusBar()->addWidget(statusLabel_, 1);
    createCounting();
    applyColours();
    engineEditor_ =
        new EngineEditor([this](const QString& text) { return saveEngineList(text); }, this);

    guarded([this] { readStartSettings(); });
    placeWindow();
    // A directory that cannot be made shows up when a command needs it.
    ::mkdirat(collection_->fd(), "poems", 0777);
    ::mkdirat(collection_->fd(), "lang", 0777);
    currentPoemId_ = 0;
    selectedRow_ = -1;
    guarded([this] { listModel_->readSome(kFirstRows); });
    readTimer_ = new QTimer(this);
    readTimer_->setInterval(0);
    watchCollection();
    looks_ = {std::make_unique<FolderLook>(FileRef(collection_, "."), IsIndexConflictCopy),
              std::make_unique<FolderLook>(store_.poemsFolder(), IsTextConflictCopy)};
    setAcceptDrops(true);
}

MainWindow::~MainWindow() {
    // The tidying the event loop had no time for is done before the program ends.
    for (const auto& look : looks_)
        while (look && look->LookSome(kLookSlice)) {
        }
    // The marks go before the session they ask.
    titleEdit_->setSpelling(nullptr);
    delete poemSpelling_;
}

QAction* MainWindow::addCommand(const char* iconName, const char* iconFile,
                                void (MainWindow::*handler)()) {
    auto* action = new QAction(this);
    if (iconName)
        action->setIcon(
            QIcon::fromTheme(QString::fromLatin1(iconName),
                             QIcon(QStringLiteral(":/icons/") + QString::fromLatin1(iconFile))));
    if (handler) {
        connect(action, &QAction::triggered, this, [this, handler] {
            guarded([this, handler] {
                refreshCollection();
                (this->*handler)();
            });
        });
    } else {
        action->setEnabled(false); // built with its own command later
    }
    // Every shortcut works wherever the focus is, even in a text box that
    // would otherwise take the key for itself.
    action->setShortcutContext(Qt::WindowShortcut);
    commands_.push_back(action);
    return action;
}

void MainWindow::createActions() {
    MainWindowActions& a = actions_;
    a.newPoem = addCommand("document-new", "new.svg", &MainWindow::newPoem);
    a.newPoem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    a.savePoem = addCommand("document-save", "save.svg", &MainWindow::savePoem);
    a.savePoem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    a.exportPoem = addCommand("document-export", "export.svg", &MainWindow::exportPoem);
    a.exportPoem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    a.exportAll = addCommand("document-save-all", "export-all.svg", &MainWindow::exportAll);
    a.exportAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    a.print = addCommand("document-print", "print.svg", &MainWindow::printPoem);
    a.print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    a.exit = addCommand("application-exit", "exit.svg", &MainWindow::exitProgram);
    a.exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    for (auto [toggle, handler] :
         {std::pair{&a.toggleToolbar, &MainWindow::toggleToolbar},
          std::pair{&a.toggleStatusBar, &MainWindow::toggleStatusBar},
          std::pair{&a.toggleRowColouring, &MainWindow::toggleRowColouring},
          std::pair{&a.toggleIdColumn, &MainWindow::toggleIdColumn},
          std::pair{&a.toggleSyllableCounts, &MainWindow::toggleSyllableCounts}}) {
        *toggle = addCommand(nullptr, nullptr, handler);
        (*toggle)->setCheckable(true);
        (*toggle)->setChecked(true);
    }

    a.searchTitle = addCommand("edit-find", "search.svg", &MainWindow::searchTitle);
    a.searchTitle->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    a.searchOnline =
        addCommand("internet-web-browser", "search-online.svg", &MainWindow::searchOnline);
    a.searchOnline->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    a.deletePoem = addCommand("edit-delete", "delete.svg", &MainWindow::deletePoem);
    a.deletePoem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    a.recoverDraft = addCommand("document-revert", "recover-draft.svg", &MainWindow::recoverDraft);
    a.recoverDraft->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    a.chooseListColour = addCommand(nullptr, nullptr, &MainWindow::chooseListColour);
    a.chooseSecondRowColour = addCommand(nullptr, nullptr, &MainWindow::chooseSecondRowColour);
    a.chooseSearchColour = addCommand(nullptr, nullptr, &MainWindow::chooseSearchColour);
    a.chooseTitleColour = addCommand(nullptr, nullptr, &MainWindow::chooseTitleColour);
    a.choosePoetColour = addCommand(nullptr, nullptr, &MainWindow::choosePoetColour);
    a.chooseDateColour = addCommand(nullptr, nullptr, &MainWindow::chooseDateColour);
    a.choosePoemColour = addCommand(nullptr, nullptr, &MainWindow::choosePoemColour);
    a.restoreDefaultColours = addCommand(nullptr, nullptr, &MainWindow::restoreDefaultColours);
    a.editSearchEngines =
        addCommand("preferences-other", "search-engines.svg", &MainWindow::editSearchEngines);
    a.spellingOff = addCommand(nullptr, nullptr, &MainWindow::turnSpellingOff);
    a.spellingOff->setCheckable(true);
    a.chooseEnglish = addCommand(nullptr, nullptr, &MainWindow::chooseEnglish);
    a.chooseEnglish->setText(QStringLiteral("English"));
    a.chooseEnglish->setCheckable(true);
    languageActions_.push_back(a.chooseEnglish);

    a.about = addCommand("help-about", "about.svg", &MainWindow::showAbout);
    a.openHomePage = addCommand("go-home", "home-page.svg", &MainWindow::openHomePage);
    a.openHomePage->setText(QString::fromLatin1(product::kHomePage));
    a.writeEmail = addCommand("mail-send", "email.svg", &MainWindow::writeEmail);

    // F10 opens the menus, as in every desktop's programs.
    a.openMenuBar = addCommand(nullptr, nullptr, &MainWindow::openMenuBar);
    a.openMenuBar->setShortcut(QKeySequence(Qt::Key_F10));
    addAction(a.openMenuBar);
}

void MainWindow::createMenus() {
    const MainWindowActions& a = actions_;
    QMenu* file = menus_.file = menuBar()->addMenu(QString());
    file->addActions({a.newPoem, a.savePoem, a.exportPoem, a.exportAll});
    file->addSeparator();
    file->addAction(a.print);
    file->addSeparator();
    file->addAction(a.exit);

    menus_.view = menuBar()->addMenu(QString());
    menus_.view->addActions({a.toggleToolbar, a.toggleStatusBar, a.toggleRowColouring,
                             a.toggleIdColumn, a.toggleSyllableCounts});

    QMenu* edit = menus_.edit = menuBar()->addMenu(QString());
    edit->addActions({a.searchTitle, a.searchOnline});
    edit->addSeparator();
    edit->addActions({a.deletePoem, a.recoverDraft});
    edit->addSeparator();
    QMenu* colours = menus_.colours = edit->addMenu(QString());
    colours->setIcon(QIcon::fromTheme(QStringLiteral("preferences-desktop-color"),
                                      QIcon(QStringLiteral(":/icons/colours.svg"))));
    colours->addActions({a.chooseListColour, a.chooseSecondRowColour, a.chooseSearchColour,
                         a.chooseTitleColour, a.choosePoetColour, a.chooseDateColour,
                         a.choosePoemColour});
    colours->addSeparator();
    colours->addAction(a.restoreDefaultColours);
    menus_.spelling = edit->addMenu(QString());
    menus_.spelling->setIcon(QIcon::fromTheme(QStringLiteral("tools-check-spelling")));
    edit->addSeparator();
    edit->addAction(a.editSearchEngines);

    menus_.language = menuBar()->addMenu(QString());
    menus_.language->addAction(a.chooseEnglish);

    QMenu* help = menus_.help = menuBar()->addMenu(QString());
    help->addAction(a.about);
    help->addSeparator();
    help->addActions({a.openHomePage, a.writeEmail});

    QMenu* popup = menus_.listPopup = new QMenu(this);
    popup->addActions({a.newPoem, a.exportPoem});
    popup->addSeparator();
    popup->addActions({a.searchTitle, a.searchOnline});
    popup->addSeparator();
    popup->addAction(a.deletePoem);

    menus_.engines = new QMenu(this);
    // The Language and Spelling menus fill themselves after the start.
    for (QMenu* menu : {file, menus_.view, edit, colours, menus_.spelling, menus_.language, help,
                        popup, menus_.engines})
        KeepAccessLetters(menu);
}

void MainWindow::createToolBar() {
    toolBar_ = addToolBar(QString());
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setFixedHeight(28);
    toolBar_->toggleViewAction()->setVisible(false);

    const MainWindowActions& a = actions_;
    // A null entry is a separator.
    for (QAction* action :
         {a.newPoem, a.savePoem, static_cast<QAction*>(nullptr), a.exportPoem, a.exportAll, a.print,
          static_cast<QAction*>(nullptr), a.searchTitle, a.deletePoem,
          static_cast<QAction*>(nullptr), a.about, a.openHomePage, a.writeEmail, a.exit}) {
        if (!action) {
            toolBar_->addSeparator();
            continue;
        }
        toolBar_->addAction(action);
        toolBar_->widgetForAction(action)->setFixedWidth(25);
    }
    // The print button is the one without a tooltip.
    printButton_ = qobject_cast<QToolButton*>(toolBar_->widgetForAction(a.print));
    printButton_->installEventFilter(this);

    auto* gap = new QWidget(toolBar_);
    gap->setFixedWidth(18);
    toolBar_->addWidget(gap);

    searchEdit_ = new QLineEdit(toolBar_);
    searchEdit_->setMinimumWidth(200);
    searchEdit_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    searchEdit_->setFont(WithPointSize(font(), 8, false, true));
    KeepEveryCharacter(searchEdit_);
    toolBar_->addWidget(searchEdit_);
    connect(searchEdit_, &QLineEdit::returnPressed, this,
            [this] { guarded([this] { searchOnline(); }); });

    auto* online = new QToolButton(toolBar_);
    online->setDefaultAction(actions_.searchOnline);
    online->setMenu(menus_.engines);
    online->setPopupMode(QToolButton::MenuButtonPopup);
    online->setAutoRaise(true);
    toolBar_->addWidget(online);
}

void MainWindow::createCentralWidget() {
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);

    listModel_ = new PoemListModel(store_, this);
    // A table rather than a tree: it lays out no item per row, so 100,000
    // poems cost no more to show than a handful.
    listView_ = new QTableView(splitter);
    listView_->setModel(listModel_);
    listView_->setShowGrid(false);
    listView_->setWordWrap(false);
    listView_->verticalHeader()->hide();
    listView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    listView_->verticalHeader()->setDefaultSectionSize(listView_->fontMetrics().height() + 2);
    listView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView_->setSelectionMode(QAbstractItemView::SingleSelection);
    listView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView_->horizontalHeader()->setSectionsMovable(false);
    listView_->horizontalHeader()->setHighlightSections(false);
    listView_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    listView_->horizontalHeader()->setStretchLastSection(false);
    listView_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(listView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        menus_.listPopup->popup(listView_->viewport()->mapToGlobal(at));
    });
    connect(listView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                if (selected.indexes().isEmpty()) {
                    if (!listView_->selectionModel()->hasSelection())
                        selectedRow_ = -1;
                    return;
                }
                const int row =
                    static_cast<int>(listModel_->storeRow(selected.indexes().first().row()));
                guarded([this, row] { selectPoem(row); });
            });
    connect(listView_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        const int row = static_cast<int>(listModel_->storeRow(index.row()));
        guarded([this, row] { clickPoem(row); });
    });

    auto* panel = new QFrame(splitter);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    auto* grid = new QGridLayout(panel);

    const QFont labelFont = WithPointSize(font(), 10, true);
    const QFont boxFont = WithPointSize(font(), 10);
    auto label = [&] {
        auto* created = new QLabel(panel);
        created->setFont(labelFont);
        return created;
    };
    auto lineEdit = [&] {
        auto* created = new QLineEdit(panel);
        created->setFont(boxFont);
        KeepEveryCharacter(created);
        return created;
    };

    labels_ = {label(), label(), label(), label()};
    titleEdit_ = new SpellCheckedLineEdit(panel);
    titleEdit_->setFont(boxFont);
    KeepEveryCharacter(titleEdit_);
    poetEdit_ = lineEdit();
    poetEdit_->setFixedWidth(233);
    dateEdit_ = lineEdit();
    dateEdit_->setFixedWidth(185);
    poetSearchButton_ = new QToolButton(panel);
    poetSearchButton_->setAutoRaise(true);
    poetSearchButton_->setFixedSize(25, 25);
    poetSearchButton_->setIcon(QIcon::fromTheme(QStringLiteral("system-search"),
                                                QIcon(QStringLiteral(":/icons/search-poet.svg"))));
    connect(poetSearchButton_, &QToolButton::clicked, this,
            [this] { guarded([this] { searchPoetOnline(); }); });

    poemEdit_ = new PoemEdit(panel);
    poemEdit_->setAcceptRichText(false);
    poemEdit_->setFont(boxFont);
    poemEdit_->setLineWrapMode(QTextEdit::WidgetWidth);
    poemEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    new HangingIndent(*poemEdit_);

    labels_.title->setBuddy(titleEdit_);
    labels_.poet->setBuddy(poetEdit_);
    labels_.date->setBuddy(dateEdit_);
    labels_.poem->setBuddy(poemEdit_);

    grid->addWidget(labels_.title, 0, 0, 1, 4);
    grid->addWidget(titleEdit_, 1, 0, 1, 4);
    grid->addWidget(labels_.poet, 2, 0, 1, 2);
    grid->addWidget(labels_.date, 2, 2, 1, 2);
    grid->addWidget(poetEdit_, 3, 0);
    grid->addWidget(poetSearchButton_, 3, 1);
    grid->addWidget(dateEdit_, 3, 2);
    grid->addWidget(labels_.poem, 4, 0, 1, 4);
    grid->addWidget(poemEdit_, 5, 0, 1, 4);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(5, 1);

    splitter->addWidget(listView_);
    splitter->addWidget(panel);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({161, 643 - 161});
    setCentralWidget(splitter);

    // A flat speed button takes no focus: Tab goes from box to box.
    poetSearchButton_->setFocusPolicy(Qt::NoFocus);
    setTabOrder(titleEdit_, poetEdit_);
    setTabOrder(poetEdit_, dateEdit_);
    setTabOrder(dateEdit_, poemEdit_);
    setTabOrder(poemEdit_, listView_);
    setTabOrder(listView_, searchEdit_);
    // Tab leaves the list rather than moving its highlight to another poem.
    listView_->setTabKeyNavigation(false);
    listView_->installEventFilter(this);

    for (QWidget* box :
         std::initializer_list<QWidget*>{titleEdit_, poetEdit_, dateEdit_, searchEdit_, poemEdit_})
        box->installEventFilter(this);
    for (QLineEdit* box : {static_cast<QLineEdit*>(titleEdit_), poetEdit_, dateEdit_})
        connect(box, &QLineEdit::textChanged, this, &MainWindow::showEditorState);
    connect(poemEdit_, &QTextEdit::textChanged, this, &MainWindow::showEditorState);
    // The poem box takes drops on its viewport.
    poemEdit_->viewport()->installEventFilter(this);
    // A right click on a misspelt word offers its suggestions first.
    for (QWidget* box : std::initializer_list<QWidget*>{titleEdit_, poemEdit_}) {
        box->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(box, &QWidget::customContextMenuRequested, this, [this, box](const QPoint& at) {
            guarded([this, box, at] { showWordMenu(box, at); });
        });
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The Find in Poems box is watched for drops alone; it keeps its keys.
    const bool findBox = findPanel_ && watched == findPanel_->queryEdit();
    if (event->type() == QEvent::ShortcutOverride && !findBox &&
        !IsEditingKey(*static_cast<QKeyEvent*>(event))) {
        // Let the window's command have the key, not the text box.
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->modifiers() | key->key());
        for (const QAction* action : commands_) {
            if (!action->shortcut().isEmpty() && action->shortcut() == pressed) {
                event->ignore();
                return true;
            }
        }
    }
    if (event->type() == QEvent::KeyPress &&
        takeMovementKey(watched, *static_cast<QKeyEvent*>(event)))
        return true;
    if (event->type() == QEvent::ToolTip && watched == printButton_)
        return true;
    if (watched == poemEdit_ &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        QTimer::singleShot(0, this, &MainWindow::showCounts);
    if (takeZoomWheel(watched, event))
        return true;
    if (isDropTarget(watched) && takeFileDrag(event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::takeMovementKey(QObject* watched, const QKeyEvent& key) {
    // Tab indents in the poem box; Ctrl+Tab leaves it, as in other editors.
    if (watched == poemEdit_ && (key.modifiers() & Qt::ControlModifier) &&
        (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab))
        return focusNextPrevChild(key.key() == Qt::Key_Tab);
    // Home and End go to the first and last poem, not to the row's columns.
    if (watched == listView_ && (key.key() == Qt::Key_Home || key.key() == Qt::Key_End) &&
        listModel_->rowCount() > 0) {
        const int row = key.key() == Qt::Key_Home ? 0 : listModel_->rowCount() - 1;
        listView_->selectRow(row);
        listView_->scrollTo(listModel_->index(row, 0));
        return true;
    }
    return false;
}

void MainWindow::openMenuBar() {
    if (!menuBar()->actions().isEmpty())
        menuBar()->setActiveAction(menuBar()->actions().first());
}

void MainWindow::guarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        showError(QString::fromUtf8(error.what()));
    }
}

void MainWindow::showError(const QString& text) {
    dialogs_.message(this, UserDialogs::Icon::Error, QString::fromLatin1(product::kTitle), text);
}

QString MainWindow::text(std::string_view key) const {
    return ToQ(strings_[key]);
}

QString MainWindow::nowStamp() const {
    return SaveStamp(clock_(), interfaceLocale());
}

QLocale MainWindow::interfaceLocale() const {
    if (!strings_.locale().empty())
        return QLocale(ToQ(strings_.locale()));
    // English: the desktop's way of writing it, when the desktop speaks it.
    const QLocale desktop = QLocale::system();
    return desktop.language() == QLocale::English ? desktop : QLocale(QLocale::English);
}

void MainWindow::placeWindow() {
    std::optional<ScreenRect> stored;
    bool maximized = false;
    guarded([&] {
        const IniFile settings(SettingsFile(collection_));
        stored = ScreenRect{ReadSetting(settings, setting::windowLeft),
                            ReadSetting(settings, setting::windowTop),
                            ReadSetting(settings, setting::windowWidth),
                            ReadSetting(settings, setting::windowHeight)};
        maximized = ReadSetting(settings, setting::windowMaximized) != 0;
    });
    if (stored && stored->width <= 0)
        stored.reset();
    // The screen it stood on, while that is still there.
    const QScreen* screen =
        stored ? QGuiApplication::screenAt(QPoint(stored->x, stored->y)) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect free = screen->availableGeometry();
    const ScreenRect place =
        PlaceWindow(stored, kStartWidth, kStartHeight,
                    {free.x(), free.y(), free.width(), free.height()}, kFrameAllowance);
    resize(place.width, place.height);
    move(place.x, place.y);
    if (maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::readStartSettings() {
    const IniFile settings(SettingsFile(collection_));
    exportOneType_ = ReadSetting(settings, setting::exportOne);
    exportAllType_ = ReadSetting(settings, setting::exportAll);
    store_.setAutoid(ReadSetting(settings, setting::autoid));
    syllableCountsAtStart_ = ReadSetting(settings, setting::syllableCounts) != 0;
    actions_.toggleSyllableCounts->setChecked(syllableCountsAtStart_);
    toggleSyllableCounts();
    readReadingSettings(settings);
}

bool MainWindow::event(QEvent* event) {
    // Reading the rest of a large list and looking through the poems' folder
    // take as long as the window takes to appear; on two cores, beside the
    // display server, they would hold up its first paint.
    if (event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        // After this paint has reached the screen.
        QTimer::singleShot(0, this, [this] { startBackgroundWork(); });
    }
    return QMainWindow::event(event);
}

void MainWindow::startBackgroundWork() {
    connect(readTimer_, &QTimer::timeout, this, &MainWindow::readMoreOfTheIndex);
    readTimer_->start();
    guarded([this] { startSpelling(); });
    applyCountingLanguage();
}

void MainWindow::readMoreOfTheIndex() {
    bool more = false;
    guarded([&] { more = listModel_->readSome(kIndexSlice); });
    if (more)
        return;
    // The list is whole: now the folders are looked through for what killed
    // writes left and for the sync tool's conflict copies, a slice of names
    // at a time. Nothing waits for it: the files it removes are those of
    // processes gone, never this one's.
    disconnect(readTimer_, &QTimer::timeout, this, &MainWindow::readMoreOfTheIndex);
    connect(readTimer_, &QTimer::timeout, this, &MainWindow::lookThroughFolders);
    // What changed while the list was read is taken in as a change the
    // watch saw, a moment after the last rows are painted; the look
    // follows it.
    readTimer_->stop();
    outsideChanges_->start();
}

void MainWindow::lookThroughFolders() {
    for (const auto& look : looks_)
        if (look && look->LookSome(kLookSlice))
            return;
    readTimer_->stop();
    if (!looks_[0])
        return;
    conflictsLookedAt_ = {looks_[0]->identity(), looks_[1]->identity()};
    const ConflictCopyNames names{looks_[0]->kept(), looks_[1]->kept()};
    looks_ = {};
    guarded([&] { mergeConflictCopies(names); });
    // A copy that came during the look may have been missed: the watch
    // tells it, or where it cannot, the folders' change since the look began.
    takeConflictCopies();
}

void MainWindow::refreshCollection() {
    if (!store_.Refresh())
        return;
    // The list was made again from the file another program wrote; the row
    // of the poem in the editor is selected again, without loading it.
    selectRowQuietly(editorRow());
}

void MainWindow::selectRowQuietly(std::optional<std::size_t> row) {
    const QSignalBlocker blocker(listView_->selectionModel());
    listView_->selectionModel()->clear();
    selectedRow_ = -1;
    if (!row)
        return;
    const QModelIndex index = listModel_->indexOfStoreRow(*row);
    listView_->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect |
                                                   QItemSelectionModel::Rows);
    listView_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    selectedRow_ = static_cast<int>(*row);
}

std::optional<std::size_t> MainWindow::editorRow() const {
    if (currentPoemId_ == 0)
        return std::nullopt;
    return store_.rowOf(FormatInt32(currentPoemId_));
}

void MainWindow::highlightEditorPoem() {
    selectRowQuietly(editorRow());
    if (selectedRow_ >= 0)
        listView_->scrollTo(listModel_->indexOfStoreRow(static_cast<std::size_t>(selectedRow_)));
}

void MainWindow::showEditorState() {
    const QString product = QString::fromLatin1(product::kTitle);
    const QString title = titleEdit_->text();
    QString shown = title.isEmpty() ? product : title + QStringLiteral(" \u2014 ") + product;
    if (editorHoldsEdit())
        shown.prepend(QStringLiteral("\u2022 "));
    if (shown != windowTitle())
        setWindowTitle(shown);
}

void MainWindow::explain(std::string_view key, std::string_view argument) {
    statusBar()->showMessage(ToQ(FormatTemplate(strings_[key], argument)), kReasonMs);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!startupDone_) {
        startupDone_ = true;
        guarded([this] { runStartupSteps(); });
    }
}

void MainWindow::runStartupSteps() {
    titleEdit_->setFocus();
    const IniFile settings(SettingsFile(collection_));
    buildLanguageMenu();
    applyLanguage(ReadSetting(settings, setting::language));
    // The stored position is checked too, even when it names another item:
    // the language files may have changed since the last run.
    languageIndex_ = ReadSetting(settings, setting::languageIndex);
    if (languageIndex_ >= 0 && languageIndex_ < static_cast<int>(languageActions_.size()))
        languageActions_[static_cast<std::size_t>(languageIndex_)]->setChecked(true);
    lastSaveTime_ = ReadSetting(settings, setting::lastSave);
    statusLabel_->setText(ToQ(LastSaveStatus(strings_["lastsave"], lastSaveTime_)));
    for (auto [entry, colour] : colourEntries())
        *colour = ReadSetting(settings, *entry, *colour);
    applyColours();
    toggleIdColumn();
    search_.BuildMenu(programDir());
    fillEngineMenu();
    search_.RestoreChoice(ReadSetting(settings, setting::searchEngine));
    showEngineChoice();
    announceKeptDraft();
}

void MainWindow::applyLanguage(const std::string& language) {
    strings_ = InterfaceStrings::Load(LanguageFilePath(programDir(), language), &store_.codePage());
    // Without Qt's translation for the language the toolkit's own buttons
    // stay English, which is no reason to refuse the language.
    qtTranslations_.apply(language, strings_.locale());
    listModel_->setSortLocale(interfaceLocale());
    applyCaptions();
    statusLabel_->setText(ToQ(LastSaveStatus(strings_["lastsave"], lastSaveTime_)));
    markLanguage(language);
    currentLanguage_ = language;
    // With spelling off the poem is counted in the interface's language.
    applyCountingLanguage();
}

void MainWindow::applyCaptions() {
    using Command = QAction* MainWindowActions::*;
    static constexpr std::pair<Command, const char*> kActionCaptions[] = {
        {&MainWindowActions::newPoem, "new"},
        {&MainWindowActions::savePoem, "save"},
        {&MainWindowActions::exportPoem, "export"},
        {&MainWindowActions::exportAll, "exportall"},
        {&MainWindowActions::exportPdf, "exportpdf"},
        {&MainWindowActions::printPreview, "printpreview"},
        {&MainWindowActions::exit, "exit"},
        {&MainWindowActions::toggleToolbar, "toolbar"},
        {&MainWindowActions::toggleStatusBar, "statusbar"},
        {&MainWindowActions::toggleRowColouring, "clist"},
        {&MainWindowActions::toggleIdColumn, "listid"},
        {&MainWindowActions::toggleSyllableCounts, "syllablecounts"},
        {&MainWindowActions::searchTitle, "search"},
        {&MainWindowActions::findInPoems, "findinpoems"},
        {&MainWindowActions::searchOnline, "net"},
        {&MainWindowActions::deletePoem, "delete"},
        {&MainWindowActions::chooseListColour, "plc"},
        {&MainWindowActions::chooseSecondRowColour, "plic"},
        {&MainWindowActions::chooseSearchColour, "netsec"},
        {&MainWindowActions::chooseTitleColour, "poemtitlec"},
        {&MainWindowActions::choosePoetColour, "poetc"},
        {&MainWindowActions::chooseDateColour, "datec"},
        {&MainWindowActions::choosePoemColour, "poemc"},
        {&MainWindowActions::restoreDefaultColours, "defaultc"},
        {&MainWindowActions::about, "about"},
        {&MainWindowActions::editSearchEngines, "engine"},
        {&MainWindowActions::print, "print"},
        {&MainWindowActions::recoverDraft, "recoverdraft"},
        {&MainWindowActions::spellingOff, "spellingoff"},
        {&MainWindowActions::writeEmail, "email"},
        {&MainWindowActions::zoomIn, "zoomin"},
        {&MainWindowActions::zoomOut, "zoomout"},
        {&MainWindowActions::zoomReset, "zoomreset"},
    };
    for (const auto& [command, key] : kActionCaptions)
        (actions_.*command)->setText(text(key));
    static constexpr std::pair<QMenu * MainWindowMenus::*, const char*> kMenuCaptions[] = {
        {&MainWindowMenus::file, "file"},         {&MainWindowMenus::view, "view"},
        {&MainWindowMenus::edit, "edit"},         {&MainWindowMenus::colours, "colors"},
        {&MainWindowMenus::language, "language"}, {&MainWindowMenus::help, "help"},
        {&MainWindowMenus::spelling, "spelling"},
    };
    for (const auto& [menu, key] : kMenuCaptions)
        (menus_.*menu)->setTitle(text(key));
    GiveAccessLetters(menuBar()->actions());
    // A label with a buddy reads "&" as a keyboard marker; its caption shows
    // every character as the language file has it.
    const auto caption = [this](std::string_view key) {
        return text(key).replace(QLatin1Char('&'), QStringLiteral("&&"));
    };
    labels_.title->setText(caption("poemtitle"));
    labels_.poem->setText(caption("poem"));
    labels_.poet->setText(caption("poet"));
    labels_.date->setText(caption("date"));
    listModel_->setTitleHeader(text("poemslist"));
    poetSearchButton_->setToolTip(text("searchpoet"));
    // Screen readers name the boxes by their labels (their buddies); the
    // rest is named here.
    poetSearchButton_->setAccessibleName(text("searchpoet"));
    searchEdit_->setAccessibleName(text("net"));
    listView_->setAccessibleName(text("poemslist"));
    engineEditor_->setCaptions(text("engineeditor"), text("engineinfo"), text("enginecancel"));
    findPanel_->setCaptions(strings_);
}

void MainWindow::clearEditor() {
    titleEdit_->clear();
    poemEdit_->clear();
    searchEdit_->clear();
    poetEdit_->clear();
    dateEdit_->clear();
}

void MainWindow::selectPoem(int row) {
    if (!keepDraft()) {
        // The edit stays, and so does the row it belongs to.
        selectRowQuietly(selectedRow_ < 0 ? std::nullopt
                                          : std::optional<std::size_t>(selectedRow_));
        return;
    }
    clearEditor();
    // Until the poem has loaded, the editor holds no stored poem: should
    // loading fail, a Save must not write what it shows over the poem that
    // was open before.
    currentPoemId_ = 0;
    // The boxes show the index as it stands now, not as it was listed.
    const std::string id(store_.id(static_cast<std::size_t>(row)));
    if (store_.Refresh()) {
        const auto now = store_.rowOf(id);
        selectRowQuietly(now);
        if (!now)
            return; // the poem is gone from the index
        row = static_cast<int>(*now);
    }
    selectedRow_ = row;
    showInEditor(AsShown(store_.LoadPoem(id)));
    // A long title shows its beginning, not the end where the cursor went.
    titleEdit_->setCursorPosition(0);
    searchEdit_->setCursorPosition(0);
    // Only a plain decimal id names a stored poem; any other section name is
    // shown but never becomes the poem that Save or Delete act on.
    const auto canonical = CanonicalPoemId(id);
    if (!canonical)
        throw StorageError("'" + id + "' is not a valid integer value");
    currentPoemId_ = *canonical;
    holdEditorContents();
}

void MainWindow::clickPoem(int row) {
    if (row != selectedRow_)
        return;
    const auto id = CanonicalPoemId(store_.id(static_cast<std::size_t>(row)));
    if (currentPoemId_ == 0 || !id || *id != currentPoemId_)
        selectPoem(row);
}

void MainWindow::newPoem() {
    if (!keepDraft())
        return;
    currentPoemId_ = 0;
    clearEditor();
    highlightEditorPoem();
    titleEdit_->setFocus();
}

void MainWindow::savePoem() {
    const QString title = titleEdit_->text();
    const QString poem = poemEdit_->toPlainText();
    if (title.isEmpty() || poem.isEmpty()) {
        explain(title.isEmpty() ? "needtitle" : "needtext");
        return;
    }
    // The poem and the time and counter of the last save reach the disk
    // together or not at all.
    const std::string savedAt = FromQ(nowStamp());
    IniFile settings(SettingsFile(collection_));
    settings.HoldWrites();
    WriteSetting(settings, setting::lastSave, savedAt);
    PoemRecord saved{currentPoemId_, FromQ(title), FromQ(poetEdit_->text()),
                     FromQ(dateEdit_->text()), EditorToPoem(poem)};
    // A version saved elsewhere is kept as a draft before it is saved over,
    // and looked for again should another arrive during the save.
    for (int attempt = 1;; ++attempt) {
        const FileIdentity seen = keepVersionSavedElsewhere();
        try {
            saved.id = store_.SavePoem(saved.id, saved.title, saved.poet, saved.date, saved.text,
                                       &settings, &seen);
            break;
        } catch (const PoemChangedElsewhere&) {
            if (attempt == kSaveAttempts)
                throw;
        }
    }
    currentPoemId_ = saved.id;
    lastSaveTime_ = savedAt;
    holdEditorContents();
    highlightEditorPoem();
    findPanel_->poemSaved(saved);
    dialogs_.message(this, UserDialogs::Icon::Information, text("save"),
                     ToQ(FormatTemplate(strings_["savemsg"], FromQ(title))));
    statusLabel_->setText(ToQ(LastSaveStatus(strings_["lastsave"], lastSaveTime_)));
}

void MainWindow::deletePoem() {
    // Only the poem in the editor, and only while its own row is selected.
    const std::string id = FormatInt32(currentPoemId_);
    if (selectedRow_ < 0 || currentPoemId_ == 0 ||
        store_.id(static_cast<std::size_t>(selectedRow_)) != id) {
        explain("nodeleterow");
        return;
    }
    if (!dialogs_.question(this, text("quest"),
                           ToQ(FormatTemplate(strings_["deletemsg"], FromQ(titleEdit_->text()))),
                           UserDialogs::Answer::No))
        return;
    // The edit is kept before the poem goes, so that keeping it can still
    // stop the command.
    if (!keepDraft())
        return;
    const std::uint64_t kept = keepDeletedPoem(id);
    try {
        // The row goes without another being selected and loaded in its place.
        const QSignalBlocker blocker(listView_->selectionModel());
        store_.DeletePoem(id);
    } catch (const StorageError&) {
        // Show the list as the index now stands, then report; a poem still
        // listed has no deleted draft to come back from.
        refreshCollection();
        if (store_.rowOf(id))
            drafts_.Remove(kept);
        throw;
    }
    const std::string title = FromQ(titleEdit_->text());
    selectRowQuietly(std::nullopt);
    currentPoemId_ = 0;
    clearEditor();
    explain("poemdeleted", title);
}

void MainWindow::exitProgram() {
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing is refused only when an edit could be kept nowhere and the user
    // keeps it; a settings file that cannot be written is reported, and the
    // window closes all the same.
    if (!keepDraft(true)) {
        event->ignore();
        return;
    }
    guarded([this] { writeClosingSettings(); });
    event->accept();
}

void MainWindow::writeClosingSettings() {
    IniFile settings(SettingsFile(collection_));
    settings.HoldWrites();
    WriteSetting(settings, setting::language, currentLanguage_);
    WriteSetting(settings, setting::languageIndex, languageIndex_);
    WriteSetting(settings, setting::searchEngine, search_.selectedEngine());
    // Written once changed, so that a settings file no one changed stays as it was.
    if (actions_.toggleSyllableCounts->isChecked() != syllableCountsAtStart_)
        WriteSetting(settings, setting::syllableCounts, actions_.toggleSyllableCounts->isChecked());
    // Until the user has chosen, the poem's language follows the interface's.
    if (!spellingSetting_.empty())
        WriteSetting(settings, setting::spellingDictionary, spellingSetting_);
    for (auto [entry, colour] : colourEntries())
        WriteSetting(settings, *entry, *colour);
    // A maximised window keeps the place it had before.
    WriteSetting(settings, setting::windowMaximized, isMaximized() ? 1 : 0);
    if (!isMaximized() && !isMinimized()) {
        WriteSetting(settings, setting::windowLeft, pos().x());
        WriteSetting(settings, setting::windowTop, pos().y());
        WriteSetting(settings, setting::windowWidth, width());
        WriteSetting(settings, setting::windowHeight, height());
    }
    writeReadingSettings(settings);
    settings.WriteHeld();
}

void MainWindow::showAbout() {
    const QString title = actions_.about->text().remove(QLatin1Char('&'));
    const QString credits =
        QStringList{text("aboutline"), QString(), text("aboutwriters"), text("aboutbuilt"),
                    ToQ(FormatTemplate(strings_["abouthome"], product::kHomePage))}
            .join(QLatin1Char('\n'));
    dialogs_.message(
        this, UserDialogs::Icon::Information, title,
        QStringLiteral(" ") + QString::fromLatin1(product::kTitle) + QStringLiteral("\n\n") +
            credits + QStringLiteral("\n\n") +
            ToQ(FormatTemplate(strings_["aboutcollection"],
                               QFile::decodeName(programDir().c_str()).toStdString())));
}

void MainWindow::openHomePage() {
    if (!dialogs_.openUrl(QUrl(QString::fromLatin1(product::kHomePage))))
        explain("nobrowser", product::kHomePage);
}

void MainWindow::writeEmail() {
    if (!dialogs_.openUrl(QUrl(QStringLiteral("mailto:") +
                               QString::fromLatin1(product::kContactAddress) +
                               QStringLiteral("?subject=") + QString::fromLatin1(product::kTitle))))
        explain("nomailprogram", product::kContactAddress);
}

} // namespace stanzel
