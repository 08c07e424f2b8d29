#include "app/TrendChart.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLineItem>
#include <QLineSeries>
#include <QMouseEvent>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// Eight colours told apart easily, also by most colour-blind readers.
constexpr QRgb Palette[] = {0x0072b2, 0xd55e00, 0x009e73, 0xcc79a7, 0xe69f00, 0x56b4e9, 0x000000, 0x999933};

struct TRange {
    double low = 0, high = 0;
    bool empty = true;
    void Take(double value)
    {
        low = empty ? value : std::min(low, value);
        high = empty ? value : std::max(high, value);
        empty = false;
    }
};

} // namespace

struct TTrendChart::Private {
    QChart* chart = nullptr;
    QChartView* view = nullptr;
    QDateTimeAxis* time = nullptr;
    QValueAxis* axes[2] = {nullptr, nullptr};
    QList<QLineSeries*> series;
    QStringList titles; // what the series were made for
    QGraphicsLineItem* cursor = nullptr;
    std::optional<long long> cursorTime;
    std::optional<QPoint> dragFrom;
    long long from = 0, to = 1;
};

TTrendChart::TTrendChart(QWidget* parent) : QWidget(parent), d(std::make_unique<Private>())
{
    d->chart = new QChart();
    d->chart->legend()->hide(); // the window lists the items with their colours
    d->chart->setMargins(QMargins(4, 4, 4, 4));
    d->time = new QDateTimeAxis(d->chart);
    d->time->setFormat(QStringLiteral("HH:mm:ss"));
    d->time->setTickCount(7);
    d->chart->addAxis(d->time, Qt::AlignBottom);
    for (int side = 0; side < 2; ++side) {
        d->axes[side] = new QValueAxis(d->chart);
        d->axes[side]->setLabelFormat(QStringLiteral("%g"));
        d->chart->addAxis(d->axes[side], side == 0 ? Qt::AlignLeft : Qt::AlignRight);
        d->axes[side]->setVisible(false);
    }
    d->view = new QChartView(d->chart, this);
    d->view->setRenderHint(QPainter::Antialiasing, false);
    d->view->setFocusPolicy(Qt::NoFocus); // the window takes the keys
    d->view->viewport()->installEventFilter(this);
    d->view->viewport()->setMouseTracking(true);
    d->cursor = new QGraphicsLineItem(d->chart);
    d->cursor->setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
    d->cursor->setZValue(10);
    d->cursor->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d->view);
    setMinimumSize(480, 280);
}

TTrendChart::~TTrendChart() = default;

QColor TTrendChart::Colour(int channel)
{
    return QColor(Palette[channel % std::size(Palette)]);
}

void TTrendChart::Plot(const TTrendData& data, long long from, long long to, long long now)
{
    ++redraws;
    d->from = from;
    d->to = std::max(to, from + 1);
    QStringList titles, units;
    for (const TTrendChannel& channel : data.channels) {
        titles << channel.Title();
        if (!units.contains(channel.unit))
            units << channel.unit;
    }
    // The series follow the channels; made again only when those change.
    if (titles != d->titles) {
        for (QLineSeries* line : std::as_const(d->series)) {
            d->chart->removeSeries(line);
            delete line;
        }
        d->series.clear();
        for (size_t c = 0; c < data.channels.size(); ++c) {
            auto* line = new QLineSeries(d->chart);
            line->setName(titles[qsizetype(c)]);
            line->setPen(QPen(Colour(int(c)), 1));
            d->chart->addSeries(line);
            line->attachAxis(d->time);
            line->attachAxis(d->axes[std::min<qsizetype>(1, units.indexOf(data.channels[c].unit))]);
            d->series << line;
        }
        d->titles = titles;
        for (int side = 0; side < 2; ++side) {
            const QStringList named = side == 0 ? units.mid(0, 1) : units.mid(1);
            d->axes[side]->setVisible(!named.isEmpty());
            d->axes[side]->setTitleText(named.join(QStringLiteral(", ")));
        }
    }

    // A point per pixel column or so: more would not show.
    const int columns = std::max(50, int(d->chart->plotArea().width()));
    TRange ranges[2];
    for (size_t c = 0; c < data.channels.size(); ++c) {
        const std::vector<TTrendSample> samples = data.channels[c].series.Decimate(from, to, columns, now);
        QList<QPointF> points;
        points.reserve(qsizetype(samples.size()));
        const int side = int(std::min<qsizetype>(1, units.indexOf(data.channels[c].unit)));
        for (const TTrendSample& s : samples) {
            points << QPointF(double(s.time), s.value);
            ranges[side].Take(s.value);
        }
        d->series[qsizetype(c)]->replace(points);
    }
    d->time->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(d->to));
    for (int side = 0; side < 2; ++side) {
        TRange& r = ranges[side];
        if (r.empty)
            r = {0, 1, false};
        const double margin = r.high > r.low ? (r.high - r.low) * 0.05 : std::max(1.0, std::abs(r.high) * 0.05);
        // Values that are never negative get no room below zero.
        d->axes[side]->setRange(r.low >= 0 ? std::max(0.0, r.low - margin) : r.low - margin, r.high + margin);
        d->axes[side]->applyNiceNumbers();
    }
    SetCursor(d->cursorTime);
}

void TTrendChart::SetCursor(std::optional<long long> time)
{
    d->cursorTime = time;
    if (!time || *time < d->from || *time > d->to || d->series.isEmpty()) {
        d->cursor->hide();
        return;
    }
    const QRectF area = d->chart->plotArea();
    const double x = area.left() + area.width() * double(*time - d->from) / double(d->to - d->from);
    d->cursor->setLine(x, area.top(), x, area.bottom());
    d->cursor->show();
}

bool TTrendChart::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != d->view->viewport())
        return QWidget::eventFilter(watched, event);
    auto timeAt = [this](QPointF at) {
        const QRectF area = d->chart->plotArea();
        const double share = std::clamp((d->view->mapToScene(at.toPoint()).x() - area.left()) / area.width(), 0.0, 1.0);
        return d->from + (long long)(share * double(d->to - d->from));
    };
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            d->dragFrom = mouse->position().toPoint();
        return true;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (d->dragFrom && (mouse->buttons() & Qt::LeftButton)) {
            const long long moved = timeAt(*d->dragFrom) - timeAt(mouse->position());
            d->dragFrom = mouse->position().toPoint();
            if (moved != 0)
                emit Dragged(moved);
        } else {
            emit CursorMoved(timeAt(mouse->position()));
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
        d->dragFrom.reset();
        return true;
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const int steps = wheel->angleDelta().y() / 120;
        if (steps != 0)
            emit Wheeled(steps, timeAt(wheel->position()));
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}
