#include "mainwindow/main_window.h"

#include "mainwindow/poem_list_model.h"
#include "mainwindow/product.h"
#include "mainwindow/qt_text.h"
#include "mainwindow/user_dialogs.h"
#include "search/engine_editor.h"
#include "storage/atomic_file.h"
#include "storage/ini_file.h"
#include "storage/number_text.h"
#include "storage/settings.h"
#include "storage/storage_error.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

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

} // namespace

MainWindow::MainWindow(std::filesystem::path programDir, UserDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), programDir_(std::move(programDir)), dialogs_(dialogs),
      store_(programDir_), clock_([] { return QDateTime::currentDateTime(); }) {
    InitResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(product::kTitle));
    resize(643, 556);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    createActions();
    createMenus();
    createToolBar();
    createCentralWidget();
    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(statusLabel_, 1);
    applyColours();
    engineEditor_ =
        new EngineEditor([this](const QString& text) { return saveEngineList(text); }, this);

    guarded([this] { readStartSettings(); });
    // A directory that cannot be made shows up when a command needs it.
    std::error_code ignored;
    RemoveStaleTemporaryFiles(programDir_);
    std::filesystem::create_directory(programDir_ / "poems", ignored);
    std::filesystem::create_directory(programDir_ / "lang", ignored);
    currentPoemId_ = 0;
    selectedRow_ = -1;
    guarded([this] { fillPoemList(); });
    setAcceptDrops(true);
}

MainWindow::~MainWindow() = default;

QAction* MainWindow::addAction(const char* name, const char* iconName, const char* iconFile,
                               void (MainWindow::*handler)()) {
    auto* action = new QAction(this);
    action->setObjectName(QString::fromLatin1(name));
    if (iconName)
        action->setIcon(
            QIcon::fromTheme(QString::fromLatin1(iconName),
                             QIcon(QStringLiteral(":/icons/") + QString::fromLatin1(iconFile))));
    if (handler) {
        connect(action, &QAction::triggered, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    } else {
        action->setEnabled(false); // built with its own command later
    }
    actions_[name] = action;
    return action;
}

void MainWindow::createActions() {
    addAction("New1", "document-new", "new.svg", &MainWindow::New1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    addAction("Save1", "document-save", "save.svg", &MainWindow::Save1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    addAction("Saveas1", "document-export", "export.svg", &MainWindow::Saveas1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    addAction("Saveall1", "document-save-all", "export-all.svg", &MainWindow::Saveall1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    addAction("Print1", "document-print", "print.svg", &MainWindow::Print1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    addAction("Exit1", "application-exit", "exit.svg", &MainWindow::Exit1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    for (auto [name, handler] : {std::pair{"oolbar1", &MainWindow::oolbar1Click},
                                 std::pair{"Statusbar2", &MainWindow::Statusbar2Click},
                                 std::pair{"clist", &MainWindow::clistClick},
                                 std::pair{"IDinList1", &MainWindow::IDinList1Click}}) {
        QAction* action = addAction(name, nullptr, nullptr, handler);
        action->setCheckable(true);
        action->setChecked(true);
    }

    addAction("Search1", "edit-find", "search.svg", &MainWindow::Search1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    addAction("SearchInternet1", "internet-web-browser", "search-online.svg",
              &MainWindow::ToolButton12Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    addAction("Delete1", "edit-delete", "delete.svg", &MainWindow::Delete1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    addAction("List1", nullptr, nullptr, &MainWindow::List1Click);
    addAction("PoemsList2Items1", nullptr, nullptr, &MainWindow::PoemsList2Items1Click);
    addAction("NetSearch2", nullptr, nullptr, &MainWindow::NetSearch2Click);
    addAction("Poem1", nullptr, nullptr, &MainWindow::Poem1Click);
    addAction("Poet1", nullptr, nullptr, &MainWindow::Poet1Click);
    addAction("Date1", nullptr, nullptr, &MainWindow::Date1Click);
    addAction("Poem2", nullptr, nullptr, &MainWindow::Poem2Click);
    addAction("Default", nullptr, nullptr, &MainWindow::DefaultClick);
    addAction("SearchEngines1", "preferences-other", "search-engines.svg",
              &MainWindow::SearchEngines1Click);
    QAction* english = addAction("English1", nullptr, nullptr, &MainWindow::English1Click);
    english->setText(QStringLiteral("English"));
    english->setCheckable(true);
    languageActions_.push_back(english);

    addAction("About1", "help-about", "about.svg", &MainWindow::About1Click);
    addAction("myPage1", "go-home", "home-page.svg", &MainWindow::myPage1Click)
        ->setText(QString::fromLatin1(product::kHomePage));
    addAction("Email1", "mail-send", "email.svg", &MainWindow::Email1Click)
        ->setText(QStringLiteral("Email"));

    // Every shortcut works wherever the focus is, even in a text box that
    // would otherwise take the key for itself.
    for (auto& [name, action] : actions_)
        action->setShortcutContext(Qt::WindowShortcut);
}

void MainWindow::createMenus() {
    auto menu = [this](const char* name) {
        QMenu* created = menuBar()->addMenu(QString());
        created->setObjectName(QString::fromLatin1(name));
        menus_[name] = created;
        return created;
    };
    QMenu* file = menu("File1");
    file->addActions(
        {actions_["New1"], actions_["Save1"], actions_["Saveas1"], actions_["Saveall1"]});
    file->addSeparator();
    file->addAction(actions_["Print1"]);
    file->addSeparator();
    file->addAction(actions_["Exit1"]);

    QMenu* view = menu("View1");
    view->addActions(
        {actions_["oolbar1"], actions_["Statusbar2"], actions_["clist"], actions_["IDinList1"]});

    QMenu* edit = menu("Edit2");
    edit->addActions({actions_["Search1"], actions_["SearchInternet1"]});
    edit->addSeparator();
    edit->addAction(actions_["Delete1"]);
    edit->addSeparator();
    QMenu* colours = edit->addMenu(QString());
    colours->setObjectName(QStringLiteral("Colors1"));
    colours->setIcon(QIcon::fromTheme(QStringLiteral("preferences-desktop-color"),
                                      QIcon(QStringLiteral(":/icons/colours.svg"))));
    menus_["Colors1"] = colours;
    colours->addActions({actions_["List1"], actions_["PoemsList2Items1"], actions_["NetSearch2"],
                         actions_["Poem1"], actions_["Poet1"], actions_["Date1"],
                         actions_["Poem2"]});
    colours->addSeparator();
    colours->addAction(actions_["Default"]);
    edit->addSeparator();
    edit->addAction(actions_["SearchEngines1"]);

    QMenu* language = menu("Language1");
    language->addAction(actions_["English1"]);

    QMenu* help = menu("Help1");
    help->addAction(actions_["About1"]);
    help->addSeparator();
    help->addActions({actions_["myPage1"], actions_["Email1"]});

    auto* popup = new QMenu(this);
    popup->setObjectName(QStringLiteral("PopupMenu1"));
    popup->addActions({actions_["New1"], actions_["Saveas1"]});
    popup->addSeparator();
    popup->addActions({actions_["Search1"], actions_["SearchInternet1"]});
    popup->addSeparator();
    popup->addAction(actions_["Delete1"]);
    menus_["PopupMenu1"] = popup;

    auto* engines = new QMenu(this);
    engines->setObjectName(QStringLiteral("PopupMenu2"));
    menus_["PopupMenu2"] = engines;
}

void MainWindow::createToolBar() {
    toolBar_ = addToolBar(QString());
    toolBar_->setObjectName(QStringLiteral("ToolBar1"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setFixedHeight(28);
    toolBar_->toggleViewAction()->setVisible(false);

    const std::pair<const char*, const char*> buttons[] = {
        {"New1", "ToolButton1"},    {"Save1", "ToolButton2"},    {nullptr, nullptr},
        {"Saveas1", "ToolButton3"}, {"Saveall1", "ToolButton4"}, {"Print1", "ToolButton14"},
        {nullptr, nullptr},         {"Search1", "ToolButton6"},  {"Delete1", "ToolButton8"},
        {nullptr, nullptr},         {"About1", "ToolButton10"},  {"myPage1", "ToolButton15"},
        {"Email1", "ToolButton9"},  {"Exit1", "ToolButton13"},
    };
    for (const auto& [action, button] : buttons) {
        if (!action) {
            toolBar_->addSeparator();
            continue;
        }
        toolBar_->addAction(actions_[action]);
        QWidget* widget = toolBar_->widgetForAction(actions_[action]);
        widget->setObjectName(QString::fromLatin1(button));
        widget->setFixedWidth(25);
    }
    // The print button is the one without a tooltip.
    toolBar_->widgetForAction(actions_["Print1"])->installEventFilter(this);

    auto* gap = new QWidget(toolBar_);
    gap->setFixedWidth(18);
    toolBar_->addWidget(gap);

    searchEdit_ = new QLineEdit(toolBar_);
    searchEdit_->setObjectName(QStringLiteral("Edit3"));
    searchEdit_->setMinimumWidth(248);
    searchEdit_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    searchEdit_->setFont(WithPointSize(font(), 8, false, true));
    toolBar_->addWidget(searchEdit_);
    connect(searchEdit_, &QLineEdit::returnPressed, this,
            [this] { guarded([this] { ToolButton12Click(); }); });

    auto* online = new QToolButton(toolBar_);
    online->setObjectName(QStringLiteral("ToolButton12"));
    online->setDefaultAction(actions_["SearchInternet1"]);
    online->setMenu(menus_["PopupMenu2"]);
    online->setPopupMode(QToolButton::MenuButtonPopup);
    online->setAutoRaise(true);
    toolBar_->addWidget(online);
}

void MainWindow::createCentralWidget() {
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);

    listModel_ = new PoemListModel(this);
    // A table rather than a tree: it lays out no item per row, so 100,000
    // poems cost no more to show than a handful.
    listView_ = new QTableView(splitter);
    listView_->setObjectName(QStringLiteral("ListView1"));
    listView_->setModel(listModel_);
    listView_->setShowGrid(false);
    listView_->setWordWrap(false);
    listView_->verticalHeader()->hide();
    listView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    listView_->verticalHeader()->setDefaultSectionSize(listView_->fontMetrics().height() + 2);
    listView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView_->setSelectionMode(QAbstractItemView::SingleSelection);
    listView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView_->horizontalHeader()->setSectionsClickable(false);
    listView_->horizontalHeader()->setSectionsMovable(false);
    listView_->horizontalHeader()->setHighlightSections(false);
    listView_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    listView_->horizontalHeader()->setStretchLastSection(false);
    listView_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(listView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        menus_["PopupMenu1"]->popup(listView_->viewport()->mapToGlobal(at));
    });
    connect(listView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                if (selected.indexes().isEmpty()) {
                    if (!listView_->selectionModel()->hasSelection())
                        selectedRow_ = -1;
                    return;
                }
                const int row = selected.indexes().first().row();
                guarded([this, row] { ListView1SelectItem(row); });
            });

    auto* panel = new QFrame(splitter);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    auto* grid = new QGridLayout(panel);

    const QFont labelFont = WithPointSize(font(), 10, true);
    const QFont boxFont = WithPointSize(font(), 10);
    auto label = [&](const char* name) {
        auto* created = new QLabel(panel);
        created->setObjectName(QString::fromLatin1(name));
        created->setFont(labelFont);
        labels_[name] = created;
        return created;
    };
    auto lineEdit = [&](const char* name) {
        auto* created = new QLineEdit(panel);
        created->setObjectName(QString::fromLatin1(name));
        created->setFont(boxFont);
        return created;
    };

    titleEdit_ = lineEdit("Edit1");
    poetEdit_ = lineEdit("Edit4");
    poetEdit_->setFixedWidth(233);
    dateEdit_ = lineEdit("Edit5");
    dateEdit_->setFixedWidth(185);
    poetSearchButton_ = new QToolButton(panel);
    poetSearchButton_->setObjectName(QStringLiteral("SpeedButton1"));
    poetSearchButton_->setAutoRaise(true);
    poetSearchButton_->setFixedSize(25, 25);
    poetSearchButton_->setIcon(QIcon::fromTheme(QStringLiteral("system-search"),
                                                QIcon(QStringLiteral(":/icons/search-poet.svg"))));
    connect(poetSearchButton_, &QToolButton::clicked, this,
            [this] { guarded([this] { SpeedButton1Click(); }); });

    poemEdit_ = new QTextEdit(panel);
    poemEdit_->setObjectName(QStringLiteral("Memo1"));
    poemEdit_->setAcceptRichText(false);
    poemEdit_->setFont(boxFont);
    poemEdit_->setLineWrapMode(QTextEdit::WidgetWidth);
    poemEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QTextOption centred = poemEdit_->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    poemEdit_->document()->setDefaultTextOption(centred);

    grid->addWidget(label("Label1"), 0, 0, 1, 4);
    grid->addWidget(titleEdit_, 1, 0, 1, 4);
    grid->addWidget(label("Label3"), 2, 0, 1, 2);
    grid->addWidget(label("Label4"), 2, 2, 1, 2);
    grid->addWidget(poetEdit_, 3, 0);
    grid->addWidget(poetSearchButton_, 3, 1);
    grid->addWidget(dateEdit_, 3, 2);
    grid->addWidget(label("Label2"), 4, 0, 1, 4);
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

    for (QWidget* box :
         std::initializer_list<QWidget*>{titleEdit_, poetEdit_, dateEdit_, searchEdit_, poemEdit_})
        box->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Let the window's command have the key, not the text box.
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->modifiers() | key->key());
        for (const auto& [name, action] : actions_) {
            if (!action->shortcut().isEmpty() && action->shortcut() == pressed) {
                event->ignore();
                return true;
            }
        }
    }
    if (event->type() == QEvent::ToolTip &&
        watched == toolBar_->widgetForAction(actions_["Print1"]))
        return true;
    return QMainWindow::eventFilter(watched, event);
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
    const QDateTime now = clock_();
    const QLocale locale = QLocale::system();
    // The long time format, less the time zone that Qt adds to it.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    timeFormat = timeFormat.trimmed();
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(now.time(), timeFormat);
}

void MainWindow::readStartSettings() {
    const IniFile settings(SettingsPath(programDir_));
    exportOneType_ = ReadSetting(settings, setting::exportOne);
    exportAllType_ = ReadSetting(settings, setting::exportAll);
    store_.setAutoid(ReadSetting(settings, setting::autoid));
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
    const IniFile settings(SettingsPath(programDir_));
    buildLanguageMenu();
    langtolang(ReadSetting(settings, setting::language));
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
    IDinList1Click();
    search_.BuildMenu(programDir_);
    fillEngineMenu();
    search_.RestoreChoice(ReadSetting(settings, setting::searchEngine));
    showEngineChoice();
}

void MainWindow::langtolang(const std::string& language) {
    strings_ = InterfaceStrings::Load(LanguageFilePath(programDir_, language));
    applyCaptions();
    statusLabel_->setText(ToQ(LastSaveStatus(strings_["lastsave"], lastSaveTime_)));
    markLanguage(language);
    currentLanguage_ = language;
}

void MainWindow::applyCaptions() {
    static constexpr std::pair<const char*, const char*> kActionCaptions[] = {
        {"New1", "new"},
        {"Save1", "save"},
        {"Saveas1", "export"},
        {"Saveall1", "exportall"},
        {"Exit1", "exit"},
        {"oolbar1", "toolbar"},
        {"Statusbar2", "statusbar"},
        {"clist", "clist"},
        {"IDinList1", "listid"},
        {"Search1", "search"},
        {"SearchInternet1", "net"},
        {"Delete1", "delete"},
        {"List1", "plc"},
        {"PoemsList2Items1", "plic"},
        {"NetSearch2", "netsec"},
        {"Poem1", "poemtitlec"},
        {"Poet1", "poetc"},
        {"Date1", "datec"},
        {"Poem2", "poemc"},
        {"Default", "defaultc"},
        {"About1", "about"},
        {"SearchEngines1", "engine"},
        {"Print1", "print"},
    };
    for (const auto& [name, key] : kActionCaptions)
        actions_[name]->setText(text(key));
    static constexpr std::pair<const char*, const char*> kMenuCaptions[] = {
        {"File1", "file"},     {"View1", "view"},         {"Edit2", "edit"},
        {"Colors1", "colors"}, {"Language1", "language"}, {"Help1", "help"},
    };
    for (const auto& [name, key] : kMenuCaptions)
        menus_[name]->setTitle(text(key));
    static constexpr std::pair<const char*, const char*> kLabelCaptions[] = {
        {"Label1", "poemtitle"}, {"Label2", "poem"}, {"Label3", "poet"}, {"Label4", "date"}};
    for (const auto& [name, key] : kLabelCaptions)
        labels_[name]->setText(text(key));
    listModel_->setTitleHeader(text("poemslist"));
    poetSearchButton_->setToolTip(text("searchpoet"));
    engineEditor_->setCaptions(text("engineeditor"), text("engineinfo"), text("enginecancel"));
}

void MainWindow::fillPoemList() {
    listModel_->setPoems(store_.ListPoems());
    applyColours();
    // Nothing is selected after a refill, whatever the view reports.
    listView_->selectionModel()->clear();
    selectedRow_ = -1;
}

void MainWindow::clearEditor() {
    titleEdit_->clear();
    poemEdit_->clear();
    searchEdit_->clear();
    poetEdit_->clear();
    dateEdit_->clear();
}

void MainWindow::ListView1SelectItem(int row) {
    clearEditor();
    // Until the poem has loaded, the editor holds no stored poem: should
    // loading fail, a Save must not write what it shows over the poem that
    // was open before.
    currentPoemId_ = 0;
    const PoemListEntry entry = listModel_->poem(row);
    titleEdit_->setText(ToQ(entry.title));
    searchEdit_->setText(ToQ(entry.title));
    selectedRow_ = row;
    const PoemRecord poem = store_.LoadPoem(entry.id);
    poetEdit_->setText(ToQ(poem.poet));
    dateEdit_->setText(ToQ(poem.date));
    poemEdit_->setPlainText(PoemToEditor(poem.text));
    // Only a plain decimal id names a stored poem; any other section name is
    // shown but never becomes the poem that Save or Delete act on.
    const auto id = CanonicalPoemId(entry.id);
    if (!id)
        throw StorageError("'" + std::string(entry.id) + "' is not a valid integer value");
    currentPoemId_ = *id;
}

void MainWindow::New1Click() {
    currentPoemId_ = 0;
    clearEditor();
}

void MainWindow::Save1Click() {
    const QString title = titleEdit_->text();
    const QString poem = poemEdit_->toPlainText();
    if (title.isEmpty() || poem.isEmpty())
        return;
    currentPoemId_ = store_.SavePoem(currentPoemId_, FromQ(title), FromQ(poetEdit_->text()),
                                     FromQ(dateEdit_->text()), EditorToPoem(poem));
    dialogs_.message(this, UserDialogs::Icon::Information, text("save"),
                     ToQ(FormatTemplate(strings_["savemsg"], FromQ(title))));
    fillPoemList();
    lastSaveTime_ = FromQ(nowStamp());
    statusLabel_->setText(ToQ(LastSaveStatus(strings_["lastsave"], lastSaveTime_)));
    IniFile settings(SettingsPath(programDir_));
    WriteSetting(settings, setting::lastSave, lastSaveTime_);
    WriteSetting(settings, setting::autoid, store_.autoid());
}

void MainWindow::Delete1Click() {
    if (selectedRow_ < 0 || currentPoemId_ == 0)
        return;
    // Only the poem in the editor, and only while its own row is selected:
    // after New the old row may still be selected with nothing of it loaded.
    const std::string id = FormatInt32(currentPoemId_);
    if (listModel_->poem(selectedRow_).id != id)
        return;
    if (!dialogs_.question(this, text("quest"),
                           ToQ(FormatTemplate(strings_["deletemsg"], FromQ(titleEdit_->text())))))
        return;
    try {
        store_.DeletePoem(id);
    } catch (const StorageError&) {
        // Show the list as the index now stands, then report.
        fillPoemList();
        throw;
    }
    const int row = selectedRow_;
    listView_->selectionModel()->clear();
    listModel_->removePoem(row);
    selectedRow_ = -1;
    currentPoemId_ = 0;
    clearEditor();
}

void MainWindow::Exit1Click() {
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing is never refused; a settings file that cannot be written is
    // reported, and the window closes all the same.
    guarded([this] { writeClosingSettings(); });
    event->accept();
}

void MainWindow::writeClosingSettings() {
    IniFile settings(SettingsPath(programDir_));
    WriteSetting(settings, setting::language, currentLanguage_);
    WriteSetting(settings, setting::languageIndex, languageIndex_);
    WriteSetting(settings, setting::searchEngine, search_.selectedEngine());
    for (auto [entry, colour] : colourEntries())
        WriteSetting(settings, *entry, *colour);
}

void MainWindow::About1Click() {
    const QString title = actions_["About1"]->text().remove(QLatin1Char('&'));
    dialogs_.message(this, UserDialogs::Icon::Information, title,
                     QStringLiteral(" ") + QString::fromLatin1(product::kTitle) +
                         QStringLiteral("\n\n") + QString::fromUtf8(product::kCredits) +
                         QStringLiteral("\n\nCollection: ") +
                         QString::fromStdString(programDir_.string()));
}

void MainWindow::myPage1Click() {
    dialogs_.openUrl(QUrl(QString::fromLatin1(product::kHomePage)));
}

void MainWindow::Email1Click() {
    dialogs_.openUrl(QUrl(QStringLiteral("mailto:") +
                          QString::fromLatin1(product::kContactAddress) +
                          QStringLiteral("?subject=") + QString::fromLatin1(product::kTitle)));
}

} // namespace stanzel
