#include "mainwindow/poem_list_model.h"

#include "mainwindow/qt_colour.h"
#include "storage/number_text.h"

#include <QCollator>
#include <algorithm>
#include <limits>

namespace stanzel {

PoemListModel::PoemListModel(PoemStore& store, QObject* parent)
    : QAbstractTableModel(parent), store_(store) {
    store_.setObserver(this);
}

PoemListModel::~PoemListModel() {
    store_.setObserver(nullptr);
}

void PoemListModel::aboutToChange(Change change, std::size_t first, std::size_t last) {
    // A sorted list takes any change as a new list: a row added or renamed
    // may belong anywhere.
    if (sorted()) {
        beginResetModel();
        return;
    }
    switch (change) {
    case Change::Reset:
        beginResetModel();
        break;
    case Change::Insert:
        beginInsertRows({}, static_cast<int>(first), static_cast<int>(last));
        break;
    case Change::Remove:
        beginRemoveRows({}, static_cast<int>(first), static_cast<int>(last));
        break;
    case Change::Update:
        break;
    }
}

void PoemListModel::changed(Change change, std::size_t first, std::size_t last) {
    if (sorted()) {
        makeOrder();
        endResetModel();
        return;
    }
    switch (change) {
    case Change::Reset:
        endResetModel();
        break;
    case Change::Insert:
        endInsertRows();
        break;
    case Change::Remove:
        endRemoveRows();
        break;
    case Change::Update:
        emit dataChanged(index(static_cast<int>(first), 0),
                         index(static_cast<int>(last), columnCount() - 1));
        break;
    }
}

void PoemListModel::sortBy(int column, Qt::SortOrder order) {
    beginResetModel();
    sortColumn_ = column == TitleColumn || column == IdColumn ? column : -1;
    sortOrder_ = order;
    makeOrder();
    endResetModel();
}

void PoemListModel::setSortLocale(const QLocale& locale) {
    sortLocale_ = locale;
    if (sorted())
        sortBy(sortColumn_, sortOrder_);
}

void PoemListModel::makeOrder() {
    order_.clear();
    rank_.clear();
    if (!sorted())
        return;
    const std::size_t count = store_.size();
    order_.resize(count);
    for (std::size_t row = 0; row < count; ++row)
        order_[row] = static_cast<std::uint32_t>(row);
    if (sortColumn_ == TitleColumn) {
        // Titles in the order of the interface's language, figures by value;
        // each title's key is made once, not at every comparison.
        QCollator collator(sortLocale_);
        collator.setNumericMode(true);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::vector<QCollatorSortKey> keys;
        keys.reserve(count);
        for (std::size_t row = 0; row < count; ++row) {
            const std::string_view title = store_.title(row);
            keys.push_back(collator.sortKey(
                QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()))));
        }
        std::stable_sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) {
            return keys[a].compare(keys[b]) < 0;
        });
    } else {
        // Ids by value; a section name that is no number goes after them.
        std::vector<std::int64_t> values(count);
        for (std::size_t row = 0; row < count; ++row) {
            const auto id = CanonicalPoemId(store_.id(row));
            values[row] = id ? *id : std::numeric_limits<std::int64_t>::max();
        }
        std::stable_sort(order_.begin(), order_.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return values[a] < values[b]; });
    }
    if (sortOrder_ == Qt::DescendingOrder)
        std::reverse(order_.begin(), order_.end());
    rank_.resize(count);
    for (std::size_t at = 0; at < count; ++at)
        rank_[order_[at]] = static_cast<std::uint32_t>(at);
}

std::size_t PoemListModel::storeRow(int listRow) const {
    const auto at = static_cast<std::size_t>(listRow);
    return sorted() && at < order_.size() ? order_[at] : at;
}

int PoemListModel::listRow(std::size_t storeRow) const {
    return static_cast<int>(sorted() && storeRow < rank_.size() ? rank_[storeRow] : storeRow);
}

bool PoemListModel::readSome(std::size_t bytes) {
    if (store_.ReadSome(bytes))
        return true;
    emit readingEnded();
    return false;
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
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole, Qt::ForegroundRole});
}

int PoemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(store_.size());
}

int PoemListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant PoemListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        const std::size_t row = storeRow(index.row());
        // A hand-edited index may hold a title of megabytes; the list shows
        // its beginning, which is all that fits, and keeps drawing quickly.
        constexpr std::size_t kShown = 1000;
        const std::string_view text =
            index.column() == TitleColumn ? store_.title(row) : store_.id(row);
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
