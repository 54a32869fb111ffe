#pragma once

#include "storage/poem_store.h"

#include <QAbstractTableModel>
#include <QColor>
#include <vector>

namespace stanzel {

// The poem list: one row per stored poem in index order, title and id. A
// model rather than an item per row keeps a list of 100,000 poems quick.
class PoemListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TitleColumn = 0, IdColumn = 1 };

    explicit PoemListModel(QObject* parent = nullptr);

    void setPoems(PoemList poems);
    void removePoem(int row);
    const PoemListEntry& poem(int row) const { return poems_[static_cast<std::size_t>(row)]; }
    const PoemList& poems() const { return poems_; }

    void setTitleHeader(const QString& header);
    // Every second row (1, 3, 5 ... from 0) in its own colour while colourising is on.
    // Each row's text takes the colour that reads on its background.
    void setRowColours(const QColor& listColour, const QColor& secondRowColour, bool colourise);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    bool isSecondColour(int row) const { return colourise_ && row % 2 == 1; }

    PoemList poems_;
    QString titleHeader_;
    QColor listColour_;
    QColor secondRowColour_;
    QColor listText_;      // text on the list colour
    QColor secondRowText_; // text on the second-row colour
    bool colourise_ = true;
};

} // namespace stanzel
