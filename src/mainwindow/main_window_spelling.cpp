// Spelling in the main window: Edit > Spelling, the marks under misspelt
// words in the title and poem boxes, and the words' pop-up menu.
#include "mainwindow/main_window.h"
#include "mainwindow/qt_text.h"
#include "spelling/dictionary_names.h"
#include "spelling/spelling_highlighter.h"
#include "spelling/spelling_session.h"
#include "storage/atomic_file.h"
#include "storage/ini_file.h"
#include "storage/settings.h"
#include "storage/storage_error.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

namespace stanzel {

namespace {

// A right click answers within 300 ms: suggestions that take longer come
// into the menu once it is open.
constexpr std::chrono::milliseconds kSuggestionWait{250};

} // namespace

const PoemLanguage& MainWindow::poemLanguage() const {
    static const PoemLanguage off;
    return spelling_ ? spelling_->language() : off;
}

void MainWindow::startSpelling() {
    spelling_ = std::make_unique<SpellingSession>(
        programDir(), FindDictionaries(dictionaryFolders_), [this] {
            QMetaObject::invokeMethod(
                this, [this] { guarded([this] { takeSpellingResults(); }); },
                Qt::QueuedConnection);
        });
    poemSpelling_ = new SpellingHighlighter(poemEdit_->document(), *spelling_);
    titleEdit_->setSpelling(spelling_.get());
    buildSpellingMenu();
    const IniFile settings(SettingsFile(collection_));
    spellingSetting_ = ReadSetting(settings, setting::spellingDictionary);
    applyPoemLanguage(
        PoemLanguage::FromSetting(spellingSetting_, strings_.locale(), spelling_->installed()));
}

void MainWindow::buildSpellingMenu() {
    QMenu* menu = menus_.spelling;
    const auto& installed = spelling_->installed();
    for (std::size_t position = 0; position < installed.size(); ++position) {
        QAction* action = menu->addAction(
            DictionaryName(installed[position].code).replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setCheckable(true);
        action->setData(ToQ(installed[position].code));
        connect(action, &QAction::triggered, this, [this, position] {
            guarded([this, position] { chooseDictionary(static_cast<int>(position)); });
        });
        dictionaryActions_.push_back(action);
    }
    if (!installed.empty())
        menu->addSeparator();
    menu->addAction(actions_.spellingOff);
}

void MainWindow::applyPoemLanguage(const PoemLanguage& language) {
    if (language != spelling_->language() || language.off())
        spelling_->choose(language);
    const auto& code = spelling_->language().code();
    for (QAction* action : dictionaryActions_)
        action->setChecked(code && FromQ(action->data().toString()) == *code);
    actions_.spellingOff->setChecked(!code);
    recheckSpelling();
    applyCountingLanguage();
}

void MainWindow::chooseDictionary(int position) {
    const std::string code = spelling_->installed()[static_cast<std::size_t>(position)].code;
    spellingSetting_ = code;
    applyPoemLanguage(PoemLanguage(code));
}

void MainWindow::turnSpellingOff() {
    if (!spelling_)
        return;
    spellingSetting_ = std::string(PoemLanguage::kOff);
    applyPoemLanguage(PoemLanguage());
}

void MainWindow::takeSpellingResults() {
    if (!spelling_)
        return;
    const SpellingSession::Results results = spelling_->takeResults();
    if (!results.failedDictionary.empty()) {
        statusLabel_->setText(
            ToQ(FormatTemplate(strings_["spellingfailed"], results.failedDictionary)));
        // The choice itself is kept: the next start tries the dictionary again.
        for (QAction* action : dictionaryActions_)
            action->setChecked(false);
        actions_.spellingOff->setChecked(true);
    }
    if (results.checkerChanged)
        recheckSpelling();
    if (wordMenu_) {
        if (auto found = spelling_->suggestions(wordMenu_->ticket, std::chrono::milliseconds(0))) {
            fillSuggestions(*wordMenu_, *found);
            wordMenu_.reset();
        }
    }
}

void MainWindow::recheckSpelling() {
    if (poemSpelling_)
        poemSpelling_->rehighlight();
    titleEdit_->recheck();
}

void MainWindow::showWordMenu(QWidget* box, const QPoint& at) {
    QMenu* menu = nullptr;
    QString line;
    int position = 0;
    QPoint global;
    std::function<void(const MarkedWord&, const QString&)> replace;
    if (box == poemEdit_) {
        const QPoint scrolled(poemEdit_->horizontalScrollBar()->value(),
                              poemEdit_->verticalScrollBar()->value());
        menu = poemEdit_->createStandardContextMenu(at + scrolled);
        const QTextCursor cursor = poemEdit_->cursorForPosition(at);
        line = cursor.block().text();
        position = cursor.positionInBlock();
        global = poemEdit_->viewport()->mapToGlobal(at);
        replace = [this, block = cursor.block().position()](const MarkedWord& word,
                                                            const QString& with) {
            QTextCursor edit(poemEdit_->document());
            edit.setPosition(block + word.start);
            edit.setPosition(block + word.end(), QTextCursor::KeepAnchor);
            edit.beginEditBlock();
            edit.insertText(with);
            edit.endEditBlock();
        };
    } else {
        menu = titleEdit_->createStandardContextMenu();
        line = titleEdit_->text();
        position = titleEdit_->cursorPositionAt(at);
        global = titleEdit_->mapToGlobal(at);
        replace = [this](const MarkedWord& word, const QString& with) {
            // One undo step: the selection goes and the suggestion comes together.
            titleEdit_->setSelection(word.start, word.length);
            titleEdit_->insert(with);
        };
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto word = spelling_ ? MisspeltWordAt(*spelling_, line, position) : std::nullopt;
    if (word) {
        const QString misspelt = line.mid(word->start, word->length);
        QAction* first = menu->actions().value(0);
        auto request = std::make_unique<WordMenuRequest>();
        request->menu = menu;
        request->placeholder = new QAction(text("suggesting"), menu);
        request->placeholder->setEnabled(false);
        request->replace = [replace, word = *word](const QString& with) { replace(word, with); };
        QAction* add = new QAction(text("addtodictionary"), menu);
        connect(add, &QAction::triggered, this, [this, misspelt] {
            guarded([this, misspelt] {
                if (const auto error = spelling_->addToDictionary(FromQ(misspelt)))
                    throw StorageError(FormatTemplate(strings_["wordlistfailed"],
                                                      spelling_->ownWords().path().string()) +
                                       ": " + DescribeError(error));
                recheckSpelling();
            });
        });
        QAction* ignore = new QAction(text("ignoreword"), menu);
        connect(ignore, &QAction::triggered, this, [this, misspelt] {
            spelling_->ignore(FromQ(misspelt));
            recheckSpelling();
        });
        auto* suggestionsEnd = new QAction(menu);
        suggestionsEnd->setSeparator(true);
        menu->insertActions(first, {request->placeholder, suggestionsEnd, add, ignore});
        menu->insertSeparator(first);
        request->ticket = spelling_->askSuggestions(FromQ(misspelt));
        if (auto found = spelling_->suggestions(request->ticket, kSuggestionWait))
            fillSuggestions(*request, *found);
        else
            wordMenu_ = std::move(request);
    }
    menu->popup(global);
}

void MainWindow::fillSuggestions(WordMenuRequest& request, const std::vector<std::string>& found) {
    if (!request.menu || !request.placeholder)
        return;
    for (const std::string& suggestion : found) {
        auto* action = new QAction(ToQ(suggestion), request.menu);
        action->setData(ToQ(suggestion));
        connect(action, &QAction::triggered, this,
                [this, replace = request.replace, with = ToQ(suggestion)] {
                    guarded([&] { replace(with); });
                });
        request.menu->insertAction(request.placeholder, action);
    }
    if (found.empty())
        request.placeholder->setText(text("nosuggestions"));
    else
        delete request.placeholder;
}

} // namespace stanzel
