#include "mainwindow/poem_list_model.h"

#include "mainwindow/qt_colour.h"
#include "storage/poem_list_reader.h"

namespace stanzel {

PoemListModel::PoemListModel(QObject* parent) : QAbstractTableModel(parent) {
    // Often enough that the list grows smoothly, seldom enough that taking
    // rows in never stands between the user and the window.
    readTimer_.setInterval(50);
    connect(&readTimer_, &QTimer::timeout, this, &PoemListModel::takeReadRows);
}

PoemListModel::~PoemListModel() = default;

void PoemListModel::readPoems(const std::filesystem::path& indexPath) {
    readTimer_.stop();
    reader_.reset();
    readPoems(std::make_unique<PoemListReader>(indexPath));
}

void PoemListModel::readPoems(std::unique_ptr<PoemListReader> reader) {
    readTimer_.stop();
    reader_.reset();
    reader->WaitForFirstRows();
    PoemList first;
    if (!reader->Take(first))
        reader_ = std::move(reader);
    // One reset to the first rows: a view that follows the list sees no
    // empty list in between.
    beginResetModel();
    poems_ = std::move(first);
    endResetModel();
    if (reader_)
        readTimer_.start();
}

void PoemListModel::goOnReading() {
    if (reader_)
        reader_->GoOn();
}

void PoemListModel::finishReading() {
    if (!reader_)
        return;
    reader_->WaitForEnd();
    takeReadRows();
}

void PoemListModel::takeReadRows() {
    if (!reader_)
        return;
    PoemList read;
    const bool ended = reader_->Take(read);
    if (!read.empty()) {
        const int first = rowCount();
        beginInsertRows({}, first, first + static_cast<int>(read.size()) - 1);
        poems_.append(std::move(read));
        endInsertRows();
    }
    if (ended) {
        readTimer_.stop();
        reader_.reset();
        emit readingEnded();
    }
}

void PoemListModel::removePoem(int row) {
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows({}, row, row);
    poems_.erase(static_cast<std::size_t>(row));
    endRemoveRows();
}

void PoemListModel::setTitleHeader(const QString& header) {
    titleHeader_ = header;
    emit headerDataChanged(Qt::Horizontal, TitleColumn, TitleColumn);
}

void PoemListModel::setRowColours(const QColor& listColour, const QColor& secondRowColour,
                                  bool colourise) {
    listColour_ = listColour;
    secondRowColour_ = secondRowColour;
    listText_ = TextColourOn(listColour);
    secondRowText_ = TextColourOn(secondRowColour);
    colourise_ = colourise;
    if (!poems_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole, Qt::ForegroundRole});
}

int PoemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(poems_.size());
}

int PoemListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant PoemListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const auto& entry = poems_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        // A hand-edited index may hold a title of megabytes; the list shows
        // its beginning, which is all that fits, and keeps drawing quickly.
        constexpr std::size_t kShown = 1000;
        const std::string_view text = index.column() == TitleColumn ? entry.title : entry.id;
        QString shown =
            QString::fromUtf8(text.data(), static_cast<qsizetype>(std::min(text.size(), kShown)));
        if (text.size() > kShown)
            shown += QChar(0x2026);
        return shown;
    }
    case Qt::BackgroundRole:
        return isSecondColour(index.row()) ? secondRowColour_ : listColour_;
    case Qt::ForegroundRole:
        return isSecondColour(index.row()) ? secondRowText_ : listText_;
    default:
        return {};
    }
}

QVariant PoemListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    // The id column's header is the same in every language.
    return section == TitleColumn ? titleHeader_ : QStringLiteral("ID");
}

Qt::ItemFlags PoemListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace stanzel
