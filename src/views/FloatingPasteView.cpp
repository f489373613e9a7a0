#include "views/FloatingPasteView.h"

#include "clipboard/ClipboardManager.h"
#include "views/ColorStringParser.h"
#include "views/QuickPasteRowDelegate.h"
#include "views/SymbolIcons.h"
#include "views/ViewColors.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int panelCornerRadius = 20;
constexpr int listVerticalPadding = 8;

int defaultPadding(const QWidget *widget)
{
    const int m = widget->style()->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, widget);
    return m > 0 ? m : 9;
}

} // namespace

FloatingPasteView::FloatingPasteView(ClipboardManager *manager, std::function<void()> dismiss,
                                     QWidget *parent)
    : QWidget(parent)
    , m_manager(manager)
    , m_dismiss(std::move(dismiss))
{
    setObjectName(QStringLiteral("floatingPasteView"));
    setFixedWidth(viewWidth);
    setAttribute(Qt::WA_TranslucentBackground);

    const int padding = defaultPadding(this);
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Header.
    auto *header = new QHBoxLayout;
    header->setContentsMargins(padding, padding, padding, 0);
    m_headerIcon = new QLabel(this);
    m_headerTitle = new QLabel(tr("Halvex"), this);
    m_headerTitle->setObjectName(QStringLiteral("headerTitle"));
    QFont headline = m_headerTitle->font();
    headline.setPixelSize(13);
    headline.setWeight(QFont::DemiBold);
    m_headerTitle->setFont(headline);
    header->addWidget(m_headerIcon);
    header->addWidget(m_headerTitle);
    header->addStretch();
    root->addLayout(header);

    // Search bar.
    auto *searchBox = new QHBoxLayout;
    searchBox->setContentsMargins(padding, 12, padding, 8);
    auto *searchBar = new QFrame(this);
    searchBar->setObjectName(QStringLiteral("searchBar"));
    auto *searchRow = new QHBoxLayout(searchBar);
    searchRow->setContentsMargins(10, 6, 10, 6);
    m_searchIcon = new QLabel(searchBar);
    m_searchField = new QLineEdit(searchBar);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setPlaceholderText(tr("Search.."));
    m_searchField->setFrame(false);
    m_searchField->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_clearButton = new QToolButton(searchBar);
    m_clearButton->setObjectName(QStringLiteral("clearButton"));
    m_clearButton->setAutoRaise(true);
    m_clearButton->setFocusPolicy(Qt::NoFocus);
    m_clearButton->setCursor(Qt::ArrowCursor);
    m_clearButton->setToolTip(tr("Clear"));
    m_clearButton->setIconSize(QSize(14, 14));
    m_clearButton->setVisible(false);
    searchRow->addWidget(m_searchIcon);
    searchRow->addWidget(m_searchField, 1);
    searchRow->addWidget(m_clearButton);
    searchBox->addWidget(searchBar);
    root->addLayout(searchBox);

    // Body: an empty-state text or the list.
    m_emptyState = new QWidget(this);
    m_emptyState->setObjectName(QStringLiteral("emptyState"));
    auto *emptyBox = new QVBoxLayout(m_emptyState);
    emptyBox->setContentsMargins(0, 30, 0, 30);
    m_emptyLabel = new QLabel(m_emptyState);
    m_emptyLabel->setObjectName(QStringLiteral("emptyLabel"));
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    emptyBox->addWidget(m_emptyLabel);
    root->addWidget(m_emptyState);

    m_listFrame = new QWidget(this);
    m_listFrame->setObjectName(QStringLiteral("listFrame"));
    auto *listBox = new QVBoxLayout(m_listFrame);
    listBox->setContentsMargins(0, listVerticalPadding, 0, listVerticalPadding);
    listBox->setSpacing(0);
    m_list = new QListWidget(m_listFrame);
    m_list->setObjectName(QStringLiteral("itemList"));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setUniformItemSizes(true);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setMouseTracking(false);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setAutoFillBackground(false);
    m_list->setStyleSheet(QStringLiteral("QListWidget { background: transparent; }"));
    m_delegate = new QuickPasteRowDelegate(m_list);
    m_list->setItemDelegate(m_delegate);
    listBox->addWidget(m_list);
    root->addWidget(m_listFrame);

    applyIconColors();

    connect(m_searchField, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_clearButton->setVisible(!text.isEmpty());
        refresh();
        setSelectedIndex(0);
        scrollToSelection();
    });
    connect(m_searchField, &QLineEdit::textEdited, this, [this] { m_selectSearchOnFocus = false; });
    connect(m_clearButton, &QToolButton::clicked, this, [this] { m_searchField->clear(); });
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        setSelectedIndex(m_list->row(item));
        pasteSelected();
    });

    if (m_manager) {
        // The list follows the history while the panel is open.
        m_refreshTimer.setSingleShot(true);
        m_refreshTimer.setInterval(0);
        connect(&m_refreshTimer, &QTimer::timeout, this, &FloatingPasteView::refresh);
        const auto refreshLater = [this] { m_refreshTimer.start(); };
        const QAbstractItemModel *history = m_manager->history();
        connect(history, &QAbstractItemModel::rowsInserted, this, refreshLater);
        connect(history, &QAbstractItemModel::rowsRemoved, this, refreshLater);
        connect(history, &QAbstractItemModel::rowsMoved, this, refreshLater);
        connect(history, &QAbstractItemModel::modelReset, this, refreshLater);
        connect(history, &QAbstractItemModel::layoutChanged, this, refreshLater);
        connect(history, &QAbstractItemModel::dataChanged, this, refreshLater);
    }
    refresh();
}

FloatingPasteView::~FloatingPasteView()
{
    if (m_monitorInstalled)
        qApp->removeEventFilter(this);
}

QList<ClipboardItem> FloatingPasteView::filterItems(const QList<ClipboardItem> &items, const QString &search)
{
    return HistorySearch().filter(items, search);
}

QList<ClipboardItem> FloatingPasteView::filteredItems() const
{
    return m_manager ? filterItems(m_manager->copiedItems(), searchText()) : QList<ClipboardItem> {};
}

QString FloatingPasteView::searchText() const
{
    return m_searchField->text();
}

void FloatingPasteView::setSearchText(const QString &text)
{
    m_searchField->setText(text);
}

QString FloatingPasteView::badgeText(int index)
{
    if (index < 0 || index > 8)
        return {};
    return QKeySequence(QKeyCombination(Qt::ControlModifier, Qt::Key(Qt::Key_1 + index)))
        .toString(QKeySequence::NativeText);
}

int FloatingPasteView::listHeight(int count)
{
    return 2 * listVerticalPadding + QuickPasteRowDelegate::rowHeight * qBound(0, count, maxVisibleRows);
}

bool FloatingPasteView::handleKeyDown(const QKeyEvent &event)
{
    const int count = int(m_shown.size());
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pasteSelected();
        return true;
    case Qt::Key_Escape:
        if (m_dismiss)
            m_dismiss();
        return true;
    case Qt::Key_Down:
        if (m_selectedIndex < count - 1) {
            setSelectedIndex(m_selectedIndex + 1);
            scrollToSelection();
        }
        return true;
    case Qt::Key_Up:
        if (m_selectedIndex >= 1) {
            setSelectedIndex(m_selectedIndex - 1);
            scrollToSelection();
        }
        return true;
    default:
        break;
    }
    if (!(event.modifiers() & Qt::ControlModifier))
        return false;
    // The digit the key stands for without Ctrl: the key code of a digit key
    // (main row or keypad), else its text read as a whole number.
    int number = 0;
    if (event.key() >= Qt::Key_0 && event.key() <= Qt::Key_9) {
        number = event.key() - Qt::Key_0;
    } else {
        bool ok = false;
        number = event.text().toInt(&ok);
        if (!ok)
            return false;
    }
    if (number < 1 || number > count)
        return false;
    setSelectedIndex(number - 1);
    pasteSelected();
    return true;
}

void FloatingPasteView::pasteSelected()
{
    const QList<ClipboardItem> items = m_shown;
    if (m_selectedIndex < 0 || m_selectedIndex >= items.size())
        return;
    const ClipboardItem item = items.at(m_selectedIndex);
    // The panel goes first so that the paste lands in the window the user
    // came from; the keystroke follows later.
    if (m_dismiss)
        m_dismiss();
    if (m_manager)
        m_manager->paste(item, true);
}

bool FloatingPasteView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn && watched == m_searchField && m_selectSearchOnFocus)
        m_searchField->selectAll();
    if (event->type() == QEvent::KeyPress && handleKeyDown(*static_cast<QKeyEvent *>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

void FloatingPasteView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
    setSelectedIndex(0);
    scrollToSelection();
    m_searchField->setFocus(Qt::OtherFocusReason);
    // The previous search comes back selected: typing replaces it, an arrow
    // key works on its list. Qt's line edit drops a selection made while its
    // window is inactive, so the selection is made again when the field gets
    // the keyboard, unless the user has typed meanwhile.
    m_searchField->selectAll();
    m_selectSearchOnFocus = true;
    if (!m_monitorInstalled) {
        qApp->installEventFilter(this);
        m_monitorInstalled = true;
    }
}

void FloatingPasteView::hideEvent(QHideEvent *event)
{
    if (m_monitorInstalled) {
        qApp->removeEventFilter(this);
        m_monitorInstalled = false;
    }
    QWidget::hideEvent(event);
}

void FloatingPasteView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool translucent = window()->testAttribute(Qt::WA_TranslucentBackground);
    QColor fill = palette().color(QPalette::Window);
    if (translucent)
        fill.setAlphaF(0.86f);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(box, panelCornerRadius, panelCornerRadius);
    painter.fillPath(shape, fill);
    painter.setPen(QPen(ViewColors::withAlpha(ViewColors::secondary(palette()), 0.2), 1));
    painter.drawPath(shape);
}

void FloatingPasteView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        applyIconColors();
    QWidget::changeEvent(event);
}

void FloatingPasteView::setSelectedIndex(int index)
{
    if (index == m_selectedIndex)
        return;
    m_selectedIndex = index;
    m_delegate->setSelectedRow(index);
    m_list->viewport()->update();
    Q_EMIT selectedIndexChanged(index);
}

void FloatingPasteView::scrollToSelection()
{
    if (QListWidgetItem *item = m_list->item(m_selectedIndex))
        m_list->scrollToItem(item, QAbstractItemView::PositionAtCenter);
}

void FloatingPasteView::refresh()
{
    m_shown = m_manager ? m_search.filter(m_manager->copiedItems(), searchText()) : QList<ClipboardItem> {};
    // A hidden panel only keeps its size right and builds its rows when it is
    // shown: copies made while nobody looks cost no list.
    if (isVisible())
        rebuildRows();
    else if (m_list->count() > 0)
        m_list->clear();
    const int count = int(m_shown.size());
    m_emptyLabel->setText(searchText().isEmpty() ? tr("No items copied yet.") : tr("No results."));
    m_emptyState->setVisible(count == 0);
    m_listFrame->setVisible(count > 0);
    m_listFrame->setFixedHeight(listHeight(count));
    // Scrolling is only possible (and the bar only shown) when the rows do
    // not all fit.
    const bool scrollable = count > maxVisibleRows;
    m_list->setVerticalScrollBarPolicy(scrollable ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m_list->verticalScrollBar()->setEnabled(scrollable);
    if (!scrollable)
        m_list->verticalScrollBar()->setValue(0);
    m_delegate->setSelectedRow(m_selectedIndex);
}

void FloatingPasteView::rebuildRows()
{
    m_list->clear();
    for (const ClipboardItem &entry : std::as_const(m_shown)) {
        auto *row = new QListWidgetItem(m_list);
        if (const std::optional<ClipboardText> &text = entry.textContent()) {
            // Prepared once per entry: no copy of the text, no expression
            // running over it.
            row->setData(Qt::DisplayRole, text->displayText());
            // A colour is short: a text that did not fit the display text is none.
            if (!text->isDisplayTextCut()) {
                if (const std::optional<QColor> color = parseColorString(text->displayText()))
                    row->setData(QuickPasteRowDelegate::SwatchRole, *color);
            }
        } else if (entry.hasImage()) {
            row->setData(QuickPasteRowDelegate::ImageRole, entry.imageContent()->thumbnail());
        }
    }
}

void FloatingPasteView::applyIconColors()
{
    const QColor secondary = ViewColors::secondary(palette());
    m_headerIcon->setPixmap(SymbolIcons::paperclip(secondary).pixmap(QSize(16, 16), devicePixelRatioF()));
    m_searchIcon->setPixmap(
        SymbolIcons::magnifyingGlass(secondary).pixmap(QSize(14, 14), devicePixelRatioF()));
    m_clearButton->setIcon(SymbolIcons::clearField(secondary));

    QPalette titlePalette = m_headerTitle->palette();
    titlePalette.setColor(QPalette::WindowText, secondary);
    m_headerTitle->setPalette(titlePalette);
    m_emptyLabel->setPalette(titlePalette);

    const QColor bar = ViewColors::withAlpha(secondary, 0.1);
    findChild<QFrame *>(QStringLiteral("searchBar"))
        ->setStyleSheet(QStringLiteral("#searchBar { background: rgba(%1, %2, %3, %4); border-radius: 8px; }"
                                       "QLineEdit { background: transparent; }")
                            .arg(bar.red())
                            .arg(bar.green())
                            .arg(bar.blue())
                            .arg(bar.alphaF()));
}
