#include "views/ContentView.h"

#include "clipboard/ClipboardManager.h"
#include "views/ClipboardItemRow.h"
#include "views/HistoryIcons.h"
#include "views/ViewColors.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int headerHorizontalPadding = 16;
constexpr int headerVerticalPadding = 12;
constexpr int headerButtonSpacing = 12;
constexpr int headerButtonIconSize = 18;
constexpr int titlePixelSize = 16;
constexpr int emptyIconSize = 40;
constexpr int emptyStateSpacing = 12;
constexpr int emptyStateVerticalPadding = 40;
constexpr int calloutPixelSize = 12;
constexpr int footerHorizontalPadding = 16;
constexpr int footerVerticalPadding = 10;
constexpr int clearAllPixelSize = 12;
constexpr int clearAllIconSize = 12;

QToolButton *iconButton(const QString &objectName, const QString &toolTip, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setIconSize(QSize(headerButtonIconSize, headerButtonIconSize));
    button->setStyleSheet(
        QStringLiteral("QToolButton { border: none; padding: 0px; background: transparent; }"));
    return button;
}

} // namespace

int ContentView::listHeight(int count)
{
    return qMin(2 * listVerticalPadding + rowHeight * qMax(count, 0), maxListHeight);
}

ContentView::ContentView(ClipboardManager *manager, QWidget *parent)
    : QWidget(parent)
    , m_manager(manager)
{
    setFixedWidth(viewWidth);
    setAutoFillBackground(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());

    m_emptyState = buildEmptyState();
    layout->addWidget(m_emptyState);

    m_listArea = new QScrollArea(this);
    m_listArea->setObjectName(QStringLiteral("listArea"));
    m_listArea->setFrameShape(QFrame::NoFrame);
    m_listArea->setWidgetResizable(true);
    m_listArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_listArea->setFocusPolicy(Qt::NoFocus);
    m_listContent = new QWidget(m_listArea);
    m_listContent->setObjectName(QStringLiteral("listContent"));
    m_listLayout = new QVBoxLayout(m_listContent);
    m_listLayout->setContentsMargins(0, listVerticalPadding, 0, listVerticalPadding);
    m_listLayout->setSpacing(0);
    m_listLayout->addStretch(1);
    m_listArea->setWidget(m_listContent);
    m_listArea->viewport()->setAutoFillBackground(false);
    m_listContent->setAutoFillBackground(false);
    layout->addWidget(m_listArea);

    layout->addWidget(buildFooter());

    applyColors();

    if (m_manager) {
        QAbstractItemModel *model = m_manager->history();
        connect(model, &QAbstractItemModel::rowsInserted, this, &ContentView::syncRows);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &ContentView::syncRows);
        connect(model, &QAbstractItemModel::rowsMoved, this, &ContentView::syncRows);
        connect(model, &QAbstractItemModel::modelReset, this, &ContentView::syncRows);
        connect(model, &QAbstractItemModel::layoutChanged, this, &ContentView::syncRows);
    }
    syncRows();
}

QWidget *ContentView::buildHeader()
{
    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("header"));
    auto *layout = new QHBoxLayout(header);
    layout->setContentsMargins(headerHorizontalPadding, headerVerticalPadding, headerHorizontalPadding,
                               headerVerticalPadding);

    auto *title = new QLabel(tr("Halvex"), header);
    title->setObjectName(QStringLiteral("title"));
    QFont titleFont = title->font();
    titleFont.setPixelSize(titlePixelSize);
    titleFont.setBold(true);
    title->setFont(titleFont);
    layout->addWidget(title);
    layout->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(headerButtonSpacing);
    m_settingsButton = iconButton(QStringLiteral("settingsButton"), tr("Settings"), header);
    m_quitButton = iconButton(QStringLiteral("quitButton"), tr("Quit Halvex"), header);
    buttons->addWidget(m_settingsButton);
    buttons->addWidget(m_quitButton);
    layout->addLayout(buttons);

    connect(m_settingsButton, &QToolButton::clicked, this, &ContentView::settingsRequested);
    connect(m_quitButton, &QToolButton::clicked, this, &ContentView::quitRequested);
    return header;
}

QWidget *ContentView::buildEmptyState()
{
    auto *empty = new QWidget(this);
    empty->setObjectName(QStringLiteral("emptyState"));
    auto *layout = new QVBoxLayout(empty);
    layout->setContentsMargins(0, emptyStateVerticalPadding, 0, emptyStateVerticalPadding);
    layout->setSpacing(emptyStateSpacing);

    m_emptyIcon = new QLabel(empty);
    m_emptyIcon->setObjectName(QStringLiteral("emptyIcon"));
    m_emptyIcon->setAlignment(Qt::AlignCenter);
    m_emptyLabel = new QLabel(tr("No clips yet"), empty);
    m_emptyLabel->setObjectName(QStringLiteral("emptyLabel"));
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    QFont callout = m_emptyLabel->font();
    callout.setPixelSize(calloutPixelSize);
    m_emptyLabel->setFont(callout);
    layout->addWidget(m_emptyIcon);
    layout->addWidget(m_emptyLabel);
    return empty;
}

QWidget *ContentView::buildFooter()
{
    auto *footer = new QWidget(this);
    footer->setObjectName(QStringLiteral("footer"));
    auto *layout = new QHBoxLayout(footer);
    layout->setContentsMargins(footerHorizontalPadding, footerVerticalPadding, footerHorizontalPadding,
                               footerVerticalPadding);
    layout->addStretch(1);

    m_clearAllButton = new QPushButton(tr("Clear All"), footer);
    m_clearAllButton->setObjectName(QStringLiteral("clearAllButton"));
    m_clearAllButton->setFocusPolicy(Qt::NoFocus);
    m_clearAllButton->setCursor(Qt::PointingHandCursor);
    m_clearAllButton->setIconSize(QSize(clearAllIconSize, clearAllIconSize));
    QFont font = m_clearAllButton->font();
    font.setPixelSize(clearAllPixelSize);
    font.setWeight(QFont::Medium);
    m_clearAllButton->setFont(font);
    layout->addWidget(m_clearAllButton);

    connect(m_clearAllButton, &QPushButton::clicked, this, [this] {
        if (m_manager)
            m_manager->clearAll();
    });
    return footer;
}

void ContentView::applyColors()
{
    const QColor secondary = ViewColors::secondary(palette());
    m_settingsButton->setIcon(HistoryIcons::gear(secondary));
    m_quitButton->setIcon(HistoryIcons::closeCircle(secondary));
    m_emptyIcon->setPixmap(HistoryIcons::clipboard(ViewColors::withAlpha(secondary, 0.5))
                               .pixmap(QSize(emptyIconSize, emptyIconSize), devicePixelRatioF()));
    QPalette labelPalette = m_emptyLabel->palette();
    labelPalette.setColor(QPalette::WindowText, secondary);
    m_emptyLabel->setPalette(labelPalette);

    const QColor red = ViewColors::withAlpha(QColor(Qt::red), 0.8);
    const QColor redBackground = ViewColors::withAlpha(QColor(Qt::red), 0.1);
    m_clearAllButton->setIcon(HistoryIcons::trash(red));
    m_clearAllButton->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; background-color: %2; border: none; border-radius: 6px;"
                       " padding: 6px 12px; }")
            .arg(red.name(QColor::HexArgb), redBackground.name(QColor::HexArgb)));
}

void ContentView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyColors();
    QWidget::changeEvent(event);
}

void ContentView::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!isWindow())
        return;
    // A hairline edge, so the window stands out on a desktop of its own colour.
    QPainter painter(this);
    painter.setPen(ViewColors::withAlpha(palette().color(QPalette::WindowText), 0.25));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

QList<ClipboardItemRow *> ContentView::rows() const
{
    return m_rows;
}

void ContentView::syncRows()
{
    const QList<ClipboardItem> items = m_manager ? m_manager->copiedItems() : QList<ClipboardItem>();
    // A closed window keeps only the rows of entries still there and builds
    // the others when it is shown: copies made while nobody looks cost no
    // widgets.
    const bool building = isVisible();

    // Rows are kept by the entry's id, so an entry that moves keeps its row
    // (and its hover state); rows of entries that are gone are dropped.
    QHash<QUuid, ClipboardItemRow *> previous = std::move(m_rowsById);
    m_rowsById.clear();
    m_rows.clear();
    for (int i = 0; i < items.size(); ++i) {
        const ClipboardItem &item = items.at(i);
        ClipboardItemRow *row = previous.take(item.id());
        if (!row && !building)
            continue;
        if (!row) {
            const QUuid id = item.id();
            row = new ClipboardItemRow(
                item, i, [this, id] { pasteEntry(id); }, m_listContent);
        }
        row->setIndex(i);
        m_rowsById.insert(item.id(), row);
        m_rows.append(row);
    }
    m_rowsMissing = m_rows.size() < items.size();
    for (ClipboardItemRow *gone : std::as_const(previous)) {
        // The row may be the one whose click led here: delete it later.
        gone->hide();
        m_listLayout->removeWidget(gone);
        gone->deleteLater();
    }
    // Only rows out of place move: a capture inserts one row at the top and
    // moving all of them would cost the square of the count.
    for (int i = 0; building && i < m_rows.size(); ++i) {
        ClipboardItemRow *row = m_rows.at(i);
        if (const QLayoutItem *item = m_listLayout->itemAt(i); !item || item->widget() != row) {
            m_listLayout->removeWidget(row);
            m_listLayout->insertWidget(i, row);
        }
        row->show();
    }

    const bool empty = items.isEmpty();
    m_emptyState->setVisible(empty);
    m_listArea->setVisible(!empty);
    m_listArea->setFixedHeight(listHeight(int(items.size())));
    if (QWidget *window = this->window(); window && window != this)
        window->adjustSize();
    else
        adjustSize();
}

void ContentView::showEvent(QShowEvent *event)
{
    if (m_rowsMissing)
        syncRows();
    QWidget::showEvent(event);
}

void ContentView::pasteEntry(const QUuid &id)
{
    if (!m_manager)
        return;
    const int row = m_manager->history()->indexOfId(id);
    if (row < 0)
        return;
    // Copied: the paste may edit the history the reference points into.
    const ClipboardItem item = m_manager->copiedItems().at(row);
    QPointer<ContentView> self(this);
    m_manager->paste(item, true);
    if (!self)
        return;
    Q_EMIT dismissRequested();
    if (!self)
        return;
    Q_EMIT hideApplicationRequested();
}
