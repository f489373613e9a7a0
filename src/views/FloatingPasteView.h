#pragma once

#include "clipboard/ClipboardItem.h"
#include "views/HistorySearch.h"

#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class ClipboardManager;
class QuickPasteRowDelegate;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;

// The content of the floating panel: the clipboard history with a search
// field, keyboard navigation, Ctrl+digit picks and click-to-paste. While it is
// on screen it sees every key press of the application first (an application
// event filter) and consumes the navigation keys before the search field
// does.
class FloatingPasteView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int selectedIndex READ selectedIndex NOTIFY selectedIndexChanged)
public:
    static constexpr int viewWidth = 450;
    static constexpr int maxVisibleRows = 6;

    // dismiss hides the panel and gives the keyboard back to the window the
    // user came from; it runs before every paste.
    FloatingPasteView(ClipboardManager *manager, std::function<void()> dismiss, QWidget *parent = nullptr);
    ~FloatingPasteView() override;

    // The entries shown: the whole history while the search is empty, else
    // those whose text (or, lacking text, recognised text) contains the
    // search, ignoring case. The search is not trimmed.
    static QList<ClipboardItem> filterItems(const QList<ClipboardItem> &items, const QString &search);
    // filterItems() on the history and the search field's text.
    QList<ClipboardItem> filteredItems() const;

    int selectedIndex() const { return m_selectedIndex; }
    QString searchText() const;
    void setSearchText(const QString &text);
    QLineEdit *searchField() const { return m_searchField; }

    // Runs the key table. Returns true when the key was consumed.
    bool handleKeyDown(const QKeyEvent &event);
    void pasteSelected();

    // Badge of the row at index: "Ctrl+1" ... "Ctrl+9" in the desktop's
    // notation for the first nine rows, empty below.
    static QString badgeText(int index);
    // Height of the list for count filtered rows.
    static int listHeight(int count);

Q_SIGNALS:
    void selectedIndexChanged(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setSelectedIndex(int index);
    void refresh();
    void rebuildRows();
    void scrollToSelection();
    void applyIconColors();

    QPointer<ClipboardManager> m_manager;
    std::function<void()> m_dismiss;
    int m_selectedIndex = 0;
    bool m_monitorInstalled = false;
    bool m_selectSearchOnFocus = false;
    QList<ClipboardItem> m_shown; // filteredItems() as of the last refresh
    HistorySearch m_search;
    // History changes come in bursts (a batch of copies, a move and a trim):
    // the list is refreshed once per turn of the event loop.
    QTimer m_refreshTimer;

    QLabel *m_headerIcon = nullptr;
    QLabel *m_headerTitle = nullptr;
    QLabel *m_searchIcon = nullptr;
    QLineEdit *m_searchField = nullptr;
    QToolButton *m_clearButton = nullptr;
    QWidget *m_emptyState = nullptr;
    QLabel *m_emptyLabel = nullptr;
    QWidget *m_listFrame = nullptr;
    QListWidget *m_list = nullptr;
    QuickPasteRowDelegate *m_delegate = nullptr;
};
