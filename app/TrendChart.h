// The plot of a trend window: the channels of a trend against time, one
// colour each, on a shared time axis and one value axis per unit (the second
// and any further units share the right one), with a cursor line. The mouse
// pans (drag), zooms (wheel) and moves the cursor; the window decides what
// follows from it.
#pragma once

#include "datalink/TrendData.h"

#include <QColor>
#include <QWidget>

#include <memory>

class TTrendChart : public QWidget {
    Q_OBJECT
public:
    explicit TTrendChart(QWidget* parent = nullptr);
    ~TTrendChart() override;

    // The colour of a channel, by its place.
    static QColor Colour(int channel);

    // Draws [from, to]; values run on up to `now`.
    void Plot(const TTrendData& data, long long from, long long to, long long now);
    // The cursor line at a time, or none.
    void SetCursor(std::optional<long long> time);
    // Redraws so far.
    int Redraws() const { return redraws; }

signals:
    void CursorMoved(long long time);
    // Dragged: the span should move by this much time (negative: into the past).
    void Dragged(long long milliseconds);
    // Wheel steps (positive: in), about the time under the mouse.
    void Wheeled(int steps, long long time);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
    int redraws = 0;
};
