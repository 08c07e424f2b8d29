// A trend window: up to eight items of the control plotted live against time,
// or a trend file (an export or a trip capture) opened again. The operator adds
// and removes items, pauses and resumes, zooms and pans the time axis, reads
// the values under the cursor and exports the span shown as CSV or PNG. Each
// live window belongs to a set (the window it is opened from), whose items are
// remembered between runs.
//
// Keys: Insert adds, Delete removes, Space pauses or resumes, + and - zoom,
// Left and Right pan, End goes live, Shift+Left and Shift+Right move the cursor.
#pragma once

#include "datalink/TrendData.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

class QAction;
class QLabel;
class QListWidget;
class QToolBar;
class TKQDevice;
class TTrendChart;
class TTrendFile;
class TTrendRecorder;

class TTrendWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int MostItems = 8;
    // Shown at first: the last five minutes.
    static constexpr long long DefaultSpanMs = 5 * 60 * 1000;
    static constexpr long long LeastSpanMs = 10 * 1000;

    // The live trend of a set: the window open for it, raised, or a new one
    // with the set's remembered items (the items given, the first time).
    static TTrendWindow* ShowSet(const QString& set, TKQDevice* device, const QStringList& firstItems);
    // A trend file in a new window; nullptr when it cannot be read (the
    // operator is told why).
    static TTrendWindow* OpenFile(const QString& path);
    // Every trend window, live or not; closed before the device goes.
    static QList<TTrendWindow*> Windows();
    static void CloseAll();

    ~TTrendWindow() override;

    const QString& Set() const { return set; }
    const TTrendData& Data() const;
    bool IsLive() const { return recorder != nullptr; }
    bool Following() const { return following; }
    // The span shown.
    long long From() const;
    long long To() const;
    // What the readout says: the time under the cursor and every item's value then.
    QString Readout() const;
    TTrendChart* Chart() const { return chart; }

public slots:
    void AddItemsClick();
    void RemoveItemClick();
    void PauseClick(bool paused);
    void LiveClick();
    void ZoomInClick();
    void ZoomOutClick();
    void PanBackClick();
    void PanOnClick();
    void OpenClick();
    void ExportCsvClick();
    void ExportPngClick();
    // Puts the cursor at a time (the mouse or the keys move it).
    void MoveCursor(long long time);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    TTrendWindow(const QString& set, TKQDevice* device, const QStringList& firstItems, std::unique_ptr<TTrendFile> file);
    QToolBar* CreateTools();
    void AddItem(const QString& item);
    // The items of the set, as the operator left them.
    QStringList RememberedItems(const QStringList& firstItems) const;
    void RememberItems() const;
    void ItemsChanged();
    void SetFollowing(bool follow);
    void Zoom(double factor, std::optional<long long> about);
    // Moves the shown span; reaching the present makes the window follow it again.
    void Pan(long long milliseconds);
    void Tick();
    void Redraw();
    void ShowReadout();
    long long Now() const;

    QString set;
    QPointer<TKQDevice> device;
    std::unique_ptr<TTrendRecorder> recorder; // live
    std::unique_ptr<TTrendFile> file;         // opened from a file
    bool following = true;
    bool dirty = true;
    long long spanMs = DefaultSpanMs;
    long long endMs = 0; // the right edge while not following
    long long drawnAt = 0;
    std::optional<long long> cursor;
    QTimer redrawTimer;

    QAction* addAction = nullptr;
    QAction* removeAction = nullptr;
    QAction* pauseAction = nullptr;
    QAction* liveAction = nullptr;
    QWidget* plot = nullptr; // the legend and the chart
    QListWidget* legend = nullptr;
    TTrendChart* chart = nullptr;
    QLabel* readout = nullptr;
};
