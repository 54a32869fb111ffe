#include "mainwindow/poem_list_model.h"

#include "mainwindow/qt_colour.h"

namespace stanzel {

PoemListModel::PoemListModel(PoemStore& store, QObject* parent)
    : QAbstractTableModel(parent), store_(store) {
    store_.setObserver(this);
}

PoemListModel::~PoemListModel() {
    store_.setObserver(nullptr);
}

void PoemListModel::aboutToChange(Change change, std::size_t first, std::size_t last) {
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
        const auto row = static_cast<std::size_t>(index.row());
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
