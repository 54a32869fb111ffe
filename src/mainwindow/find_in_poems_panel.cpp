#include "mainwindow/find_in_poems_panel.h"

#include "mainwindow/poem_list_model.h"
#include "mainwindow/qt_text.h"

#include <QAbstractListModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <unordered_map>

namespace stanzel {

namespace {

// Each turn of the event loop reads poems for about a frame's time, so typing
// and painting go on between turns however slow the disk; a few poems at a
// time keep the clock looked at often enough.
constexpr qint64 kStepMs = 16;
constexpr std::size_t kPoemsBetweenClockLooks = 64;

constexpr int kLineRole = Qt::UserRole + 1;
constexpr int kMarksRole = Qt::UserRole + 2;

// Where a stretch of bytes of `text` lies in its QString, which counts
// UTF-16 units.
int Utf16Position(std::string_view text, std::size_t bytes) {
    return static_cast<int>(ToQ(text.substr(0, bytes)).size());
}

} // namespace

// The results: a row per found poem, described (line read, words marked)
// only when the view first shows it.
class FoundPoemsModel : public QAbstractListModel {
public:
    FoundPoemsModel(const CollectionText& text, const PoemStore& store, QObject* parent)
        : QAbstractListModel(parent), text_(text), store_(store) {}

    void setResults(const std::vector<std::size_t>* rows, const FindQuery* query) {
        beginResetModel();
        rows_ = rows;
        query_ = query;
        described_.clear();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || rows_ == nullptr ? 0 : static_cast<int>(rows_->size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        const std::size_t row = (*rows_)[static_cast<std::size_t>(index.row())];
        switch (role) {
        case Qt::DisplayRole:
            return ToQ(text_.title(row));
        case Qt::AccessibleTextRole:
            // Read out as it shows: the title, then the line with the words.
            return ToQ(text_.title(row)) + QStringLiteral(": ") + describe(index.row()).line;
        case Qt::ToolTipRole:
        case kLineRole:
            return describe(index.row()).line;
        case kMarksRole:
            return QVariant::fromValue(describe(index.row()).marks);
        default:
            return {};
        }
    }

private:
    struct Described {
        QString line;
        QList<QPoint> marks; // start and length of each marked stretch
    };

    const Described& describe(int result) const {
        auto found = described_.find(result);
        if (found != described_.end())
            return found->second;
        const PoemMatch match =
            text_.DescribeMatch((*rows_)[static_cast<std::size_t>(result)], *query_, store_);
        Described described{ToQ(match.line), {}};
        for (const ByteRange& range : match.ranges) {
            const int begin = Utf16Position(match.line, range.begin);
            described.marks.push_back({begin, Utf16Position(match.line, range.end) - begin});
        }
        return described_.emplace(result, std::move(described)).first->second;
    }

    const CollectionText& text_;
    const PoemStore& store_;
    const std::vector<std::size_t>* rows_ = nullptr;
    const FindQuery* query_ = nullptr;
    mutable std::unordered_map<int, Described> described_;
};

namespace {

// Draws a result as its title over its line, the found words marked in the
// palette's highlight so they read on light and dark themes alike.
class FoundPoemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {option.rect.width(), 2 * option.fontMetrics.height() + 6};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        item.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& palette = option.palette;
        painter->save();
        painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect area = option.rect.adjusted(4, 3, -4, -3);
        const int lineHeight = option.fontMetrics.height();
        QFont bold = option.font;
        bold.setBold(true);
        painter->setFont(bold);
        painter->drawText(
            QRect(area.left(), area.top(), area.width(), lineHeight),
            Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(bold).elidedText(index.data().toString(), Qt::ElideRight, area.width()));

        QTextLayout layout(index.data(kLineRole).toString(), option.font);
        QList<QTextLayout::FormatRange> formats;
        for (const QPoint& mark : index.data(kMarksRole).value<QList<QPoint>>()) {
            QTextCharFormat format;
            format.setFontWeight(QFont::Bold);
            if (selected) {
                format.setFontUnderline(true);
            } else {
                format.setBackground(palette.color(QPalette::Highlight));
                format.setForeground(palette.color(QPalette::HighlightedText));
            }
            formats.push_back({mark.x(), mark.y(), format});
        }
        layout.setFormats(formats);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (line.isValid())
            line.setLineWidth(1e6); // one line, cut off at the edge
        layout.endLayout();
        painter->setClipRect(area);
        layout.draw(painter, QPointF(area.left(), area.top() + lineHeight));
        painter->restore();
    }
};

} // namespace

FindInPoemsPanel::FindInPoemsPanel(PoemStore& store, const PoemListModel& list, QWidget* parent)
    : QDockWidget(parent), store_(store), list_(list) {
    setObjectName(QStringLiteral("findInPoems"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    queryEdit_ = new QLineEdit(body);
    // A clear button of the panel's own, so that it has a name to be read by.
    clearAction_ = queryEdit_->addAction(
        QIcon::fromTheme(QStringLiteral("edit-clear"),
                         queryEdit_->style()->standardIcon(QStyle::SP_LineEditClearButton)),
        QLineEdit::TrailingPosition);
    clearAction_->setVisible(false);
    connect(clearAction_, &QAction::triggered, queryEdit_, [this] {
        queryEdit_->clear();
        queryEdit_->setFocus();
    });
    connect(queryEdit_, &QLineEdit::textChanged, clearAction_,
            [this](const QString& text) { clearAction_->setVisible(!text.isEmpty()); });
    KeepEveryCharacter(queryEdit_);
    statusLabel_ = new QLabel(body);
    resultsView_ = new QListView(body);
    model_ = new FoundPoemsModel(text_, store_, this);
    resultsView_->setModel(model_);
    resultsView_->setItemDelegate(new FoundPoemDelegate(resultsView_));
    // Every row is as high as the next, so 100,000 results lay out at once.
    resultsView_->setUniformItemSizes(true);
    resultsView_->setSelectionMode(QAbstractItemView::SingleSelection);
    resultsView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(queryEdit_);
    layout->addWidget(statusLabel_);
    layout->addWidget(resultsView_, 1);
    setWidget(body);
    // The panel reads no file before it is first opened.
    hide();

    readTimer_ = new QTimer(this);
    readTimer_->setInterval(0);
    connect(readTimer_, &QTimer::timeout, this, &FindInPoemsPanel::readStep);
    connect(queryEdit_, &QLineEdit::textChanged, this, &FindInPoemsPanel::runQuery);
    connect(queryEdit_, &QLineEdit::returnPressed, this, [this] {
        const QModelIndex current = resultsView_->currentIndex();
        choose(current.isValid() ? current.row() : 0);
    });
    connect(resultsView_, &QListView::clicked, this,
            [this](const QModelIndex& index) { choose(index.row()); });
    connect(resultsView_, &QListView::activated, this,
            [this](const QModelIndex& index) { choose(index.row()); });
    connect(&list_, &QAbstractItemModel::modelReset, this, &FindInPoemsPanel::followList);
    connect(&list_, &QAbstractItemModel::rowsRemoved, this, &FindInPoemsPanel::followList);
    connect(&list_, &QAbstractItemModel::rowsInserted, this, &FindInPoemsPanel::followList);
    connect(&list_, &PoemListModel::readingEnded, this, &FindInPoemsPanel::followList);
    queryEdit_->installEventFilter(this);
}

FindInPoemsPanel::~FindInPoemsPanel() = default;

void FindInPoemsPanel::setCaptions(const InterfaceStrings& strings) {
    setWindowTitle(ToQ(strings["findpanel"]));
    queryEdit_->setPlaceholderText(ToQ(strings["findwords"]));
    queryEdit_->setAccessibleName(windowTitle());
    resultsView_->setAccessibleName(windowTitle());
    clearAction_->setText(ToQ(strings["clearfind"]));
    clearAction_->setToolTip(clearAction_->text());
    readingTemplate_ = ToQ(strings["findreading"]);
    countTemplate_ = ToQ(strings["findcount"]);
    showStatus();
}

void FindInPoemsPanel::open() {
    show();
    raise();
    queryEdit_->setFocus();
    queryEdit_->selectAll();
    if (!started_) {
        started_ = true;
        text_.Follow(store_.ListPoems());
        readTimer_->start();
    }
    runQuery();
}

bool FindInPoemsPanel::reading() const {
    return started_ && text_.waiting() > 0;
}

void FindInPoemsPanel::readStep() {
    bool done = true;
    try {
        QElapsedTimer clock;
        clock.start();
        do
            done = text_.ReadWaiting(store_, kPoemsBetweenClockLooks);
        while (!done && clock.elapsed() < kStepMs);
    } catch (const std::exception& error) {
        // The index could not be read; the next opening tries again.
        readTimer_->stop();
        started_ = false;
        text_ = CollectionText();
        results_.clear();
        model_->setResults(&results_, &query_);
        showStatus();
        emit failed(QString::fromUtf8(error.what()));
        return;
    }
    if (done) {
        readTimer_->stop();
        runQuery();
    } else {
        showStatus();
    }
}

void FindInPoemsPanel::followList() {
    // A list still being read is followed once it is whole: the poems not
    // yet listed would otherwise leave the results and be read again.
    if (!started_ || list_.reading())
        return;
    text_.Follow(store_.ListPoems());
    if (text_.waiting() > 0 && !readTimer_->isActive())
        readTimer_->start();
    runQuery();
}

void FindInPoemsPanel::poemSaved(const PoemRecord& poem) {
    if (!started_)
        return;
    text_.PoemSaved(poem);
    runQuery();
}

void FindInPoemsPanel::runQuery() {
    query_ = FindQuery(FromQ(queryEdit_->text()));
    // Half-read text would give a list that changes under the user's eyes;
    // the query runs once the last step has read everything. A closed panel
    // spares a Save the search; opening it runs the query again.
    if (reading() || !isVisible())
        results_.clear();
    else
        results_ = text_.Find(query_);
    model_->setResults(&results_, &query_);
    showStatus();
}

void FindInPoemsPanel::showStatus() {
    if (reading()) {
        const QString progress =
            QStringLiteral("%1/%2").arg(text_.size() - text_.waiting()).arg(text_.size());
        statusLabel_->setText(ToQ(FormatTemplate(FromQ(readingTemplate_), FromQ(progress))));
    } else if (!started_ || query_.empty()) {
        statusLabel_->clear();
    } else {
        statusLabel_->setText(
            ToQ(FormatTemplate(FromQ(countTemplate_), std::to_string(results_.size()))));
    }
}

void FindInPoemsPanel::choose(int result) {
    if (result < 0 || result >= static_cast<int>(results_.size()))
        return;
    resultsView_->setCurrentIndex(model_->index(result));
    emit poemChosen(static_cast<int>(results_[static_cast<std::size_t>(result)]));
}

void FindInPoemsPanel::keyPressEvent(QKeyEvent* event) {
    // The box and the results leave Escape to the panel, which closes.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        hide();
        emit dismissed();
        return;
    }
    QDockWidget::keyPressEvent(event);
}

bool FindInPoemsPanel::eventFilter(QObject* watched, QEvent* event) {
    // Down from the search box goes on to the results.
    if (watched == queryEdit_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down && model_->rowCount() > 0) {
        resultsView_->setFocus();
        if (!resultsView_->currentIndex().isValid())
            resultsView_->setCurrentIndex(model_->index(0));
        return true;
    }
    return QDockWidget::eventFilter(watched, event);
}

} // namespace stanzel
