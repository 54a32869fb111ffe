#pragma once

#include "localisation/interface_strings.h"
#include "search/find_in_poems.h"
#include "storage/poem_store.h"

#include <QDockWidget>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QListView;
class QTimer;

namespace stanzel {

class FoundPoemsModel;
class PoemListModel;

// Edit > Find in Poems: a search box whose results follow every key typed,
// each a title over the line that holds the words, the words marked. The
// collection's text is read on the first opening, a few thousand poems per
// turn of the event loop so the window keeps answering, and then kept in step
// with the poem list: the list's refills and removals (Save, Delete) and the
// text of each saved poem (poemSaved).
class FindInPoemsPanel : public QDockWidget {
    Q_OBJECT
public:
    FindInPoemsPanel(PoemStore& store, const PoemListModel& list, QWidget* parent);
    ~FindInPoemsPanel() override;

    // Shows the panel with the search box focused; starts reading the poems
    // the first time.
    void open();
    void setCaptions(const InterfaceStrings& strings);
    // Save has just stored this poem; call before the list is refilled.
    void poemSaved(const PoemRecord& poem);

    bool reading() const;
    const FindQuery& query() const { return query_; }
    // The list row of each result, in list order.
    const std::vector<std::size_t>& results() const { return results_; }
    QLineEdit* queryEdit() const { return queryEdit_; }
    // The box's clear button, shown while it holds words.
    QListView* resultsView() const { return resultsView_; }
    QLabel* statusLabel() const { return statusLabel_; }

signals:
    // The user picked the poem in this row of the poem list.
    void poemChosen(int listRow);
    // Reading the collection failed; the message says why.
    void failed(const QString& message);
    // Escape closed the panel; the focus goes back to the editor.
    void dismissed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void readStep();
    void runQuery();
    void followList();
    void choose(int result);
    void showStatus();

    PoemStore& store_;
    const PoemListModel& list_;
    CollectionText text_;
    bool started_ = false;
    FindQuery query_{""};
    std::vector<std::size_t> results_;
    QString readingTemplate_;
    QString countTemplate_;

    QLineEdit* queryEdit_ = nullptr;
    QAction* clearAction_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QListView* resultsView_ = nullptr;
    FoundPoemsModel* model_ = nullptr;
    QTimer* readTimer_ = nullptr;
};

} // namespace stanzel
