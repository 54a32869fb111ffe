#pragma once

#include "storage/poem_store.h"

#include <QAbstractTableModel>
#include <QColor>

namespace stanzel {

// The poem list: one row per stored poem in index order, title and id, read
// from the collection model itself. A model rather than an item per row
// keeps a list of a million poems quick; it follows every change the store
// makes to its rows.
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
    PoemListEntry poem(int row) const {
        const auto at = static_cast<std::size_t>(row);
        return {store_.id(at), store_.title(at)};
    }

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

    PoemStore& store_;
    QString titleHeader_;
    QColor listColour_;
    QColor secondRowColour_;
    QColor listText_;      // text on the list colour
    QColor secondRowText_; // text on the second-row colour
    bool colourise_ = true;
};

} // namespace stanzel
