#include "clipboard/ClipboardHistoryModel.h"

ClipboardHistoryModel::ClipboardHistoryModel(QObject *parent)
    : QAbstractListModel(parent)
{ }

int ClipboardHistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

static QVariant toVariant(const std::optional<QString> &value)
{
    return value ? QVariant(*value) : QVariant();
}

QVariant ClipboardHistoryModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ClipboardItem &item = m_items.at(index.row());
    switch (role) {
    case IdRole:
        return item.id();
    case Qt::DisplayRole:
        return item.hasText() ? QVariant(item.textContent()->displayText()) : QVariant();
    case TextRole:
        return toVariant(item.text());
    case Qt::DecorationRole:
        return item.hasImage() ? QVariant(item.imageContent()->thumbnail()) : QVariant();
    case ImageRole:
        return item.hasImage() ? QVariant(*item.image()) : QVariant();
    case ExtractedTextRole:
        return toVariant(item.extractedText());
    default:
        return {};
    }
}

QHash<int, QByteArray> ClipboardHistoryModel::roleNames() const
{
    return {
        {IdRole, "id"},
        {TextRole, "text"},
        {ImageRole, "image"},
        {ExtractedTextRole, "extractedText"},
    };
}

int ClipboardHistoryModel::indexOf(const ClipboardItem &item, int from) const
{
    for (int row = from; row < count(); ++row) {
        if (m_items.at(row) == item)
            return row;
    }
    return -1;
}

int ClipboardHistoryModel::indexOfId(const QUuid &id) const
{
    for (int row = 0; row < count(); ++row) {
        if (m_items.at(row).id() == id)
            return row;
    }
    return -1;
}

void ClipboardHistoryModel::prepend(const ClipboardItem &item)
{
    beginInsertRows({}, 0, 0);
    m_items.prepend(item);
    endInsertRows();
}

void ClipboardHistoryModel::removeAt(int row)
{
    Q_ASSERT(row >= 0 && row < count());
    beginRemoveRows({}, row, row);
    m_items.removeAt(row);
    endRemoveRows();
}

void ClipboardHistoryModel::truncate(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows({}, row, count() - 1);
    m_items.resize(row);
    endRemoveRows();
}

void ClipboardHistoryModel::clear()
{
    beginResetModel();
    m_items.clear();
    endResetModel();
}

void ClipboardHistoryModel::setExtractedText(int row, const QString &text)
{
    Q_ASSERT(row >= 0 && row < count());
    m_items[row].setExtractedText(text);
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed, {ExtractedTextRole});
}
