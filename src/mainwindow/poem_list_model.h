#pragma once

#include "storage/poem_store.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <vector>

namespace stanzel {

class PoemListReader;

// The poem list: one row per stored poem in index order, title and id. A
// model rather than an item per row keeps a list of 100,000 poems quick.
class PoemListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TitleColumn = 0, IdColumn = 1 };

    explicit PoemListModel(QObject* parent = nullptr);
    ~PoemListModel() override;

    // Lists the poems of the index: the first rows before it returns, the
    // others a few times a second while the reading goes on, between the
    // window's other work.
    void readPoems(const std::filesystem::path& indexPath);
    // The same with a reading already started; a reading going on before is
    // dropped.
    void readPoems(std::unique_ptr<PoemListReader> reader);
    // Lets a reading that waits after its first rows read the rest.
    void goOnReading();
    // Waits for the rest of a reading and takes it in, for a command that
    // looks through the whole list.
    void finishReading();
    bool reading() const { return reader_ != nullptr; }
    // A reading going on goes on: the rows after the removed one are the
    // same in the index before and after.
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

signals:
    // The last rows of a reading have come in.
    void readingEnded();

private:
    void takeReadRows();
    bool isSecondColour(int row) const { return colourise_ && row % 2 == 1; }

    PoemList poems_;
    std::unique_ptr<PoemListReader> reader_;
    QTimer readTimer_;
    QString titleHeader_;
    QColor listColour_;
    QColor secondRowColour_;
    QColor listText_;      // text on the list colour
    QColor secondRowText_; // text on the second-row colour
    bool colourise_ = true;
};

} // namespace stanzel
