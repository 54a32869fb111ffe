#pragma once

#include "storage/poem_store.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QLocale>
#include <cstdint>
#include <vector>

namespace stanzel {

// The poem list: one row per stored poem, title and id, read from the
// collection model itself, in index order or sorted by a column. A model
// rather than an item per row keeps a list of a million poems quick; it
// follows every change the store makes to its rows. Rows of the store
// ("store rows", as PoemStore counts them) and rows of the list differ only
// while the list is sorted.
class PoemListModel : public QAbstractTableModel, private PoemListObserver {
    Q_OBJECT
public:
    enum Column { TitleColumn = 0, IdColumn = 1 };

    explicit PoemListModel(PoemStore& store, QObject* parent = nullptr);
    ~PoemListModel() override;

    // Reads at most `bytes` more of the index into the list; false once
    // the index is read whole, which readingEnded tells.
    bool readSome(std::size_t bytes);
    bool reading() const { return store_.reading(); }
    // The poem of a store row.
    PoemListEntry poem(int storeRow) const {
        const auto at = static_cast<std::size_t>(storeRow);
        return {store_.id(at), store_.title(at)};
    }

    // Sorts the list by a column, or gives it index order back (-1). The
    // order is kept as the store changes, each change sorting anew.
    void sortBy(int column, Qt::SortOrder order);
    // Titles sort as this language orders its words.
    void setSortLocale(const QLocale& locale);
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }
    std::size_t storeRow(int listRow) const;
    int listRow(std::size_t storeRow) const;
    QModelIndex indexOfStoreRow(std::size_t storeRow) const { return index(listRow(storeRow), 0); }

    void setTitleHeader(const QString& header);
    // Every second row (1, 3, 5 ... from 0) in its own colour while colourising is on.
    // Each row's text takes the colour that reads on its background.
    void setRowColours(const QColor& listColour, const QColor& secondRowColour, bool colourise);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The last rows of a reading have come in.
    void readingEnded();

private:
    void aboutToChange(Change change, std::size_t first, std::size_t last) override;
    void changed(Change change, std::size_t first, std::size_t last) override;
    bool isSecondColour(int row) const { return colourise_ && row % 2 == 1; }
    bool sorted() const { return sortColumn_ >= 0; }
    void makeOrder();

    PoemStore& store_;
    QString titleHeader_;
    QColor listColour_;
    QColor secondRowColour_;
    QColor listText_;      // text on the list colour
    QColor secondRowText_; // text on the second-row colour
    bool colourise_ = true;
    QLocale sortLocale_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    std::vector<std::uint32_t> order_; // list row -> store row, while sorted
    std::vector<std::uint32_t> rank_;  // store row -> list row, while sorted
};

} // namespace stanzel
