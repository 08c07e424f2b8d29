#include "app/TrendWindow.h"

#include "app/TrendCatalogue.h"
#include "app/TrendChart.h"
#include "controls/KAccessible.h"
#include "datalink/KQDevice.h"
#include "datalink/TrendFile.h"
#include "datalink/TrendRecorder.h"
#include "platform/Timing.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/files/DataFolders.h"

#include <QAction>
#include <QDateTime>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QSettings>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QList<TTrendWindow*> windows; // each removes itself when it goes

const QString CsvFilter = QStringLiteral("Trend files (*.csv)");
const QString PngFilter = QStringLiteral("PNG pictures (*.png)");
const QString ReadoutTimeFormat = QStringLiteral("HH:mm:ss.z");

// Where each set's items are remembered: the user's settings of the program.
QSettings Settings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Turvista"), QStringLiteral("Trends"));
}

QString Value(double value)
{
    return QString::number(value, 'g', 6);
}

TFileDialogRequest FileRequest(const QString& title, const QString& folder, const QString& filter, const char* suffix)
{
    TFileDialogRequest request;
    request.title = title;
    request.initialDir = folder;
    request.filters = {filter};
    request.defaultSuffix = QString::fromLatin1(suffix);
    return request;
}

QIcon Swatch(const QColor& colour)
{
    QPixmap swatch(12, 12);
    swatch.fill(colour);
    return QIcon(swatch);
}

} // namespace

TTrendWindow* TTrendWindow::ShowSet(const QString& set, TKQDevice* device, const QStringList& firstItems)
{
    for (TTrendWindow* window : Windows()) {
        if (window->IsLive() && window->set == set && window->device == device) {
            window->show();
            window->raise();
            window->activateWindow();
            return window;
        }
    }
    auto* window = new TTrendWindow(set, device, firstItems, nullptr);
    window->show();
    return window;
}

TTrendWindow* TTrendWindow::OpenFile(const QString& path)
{
    QString error;
    std::optional<TTrendFile> read = TTrendFile::Read(path, &error);
    if (!read) {
        MessageDlg(QStringLiteral("The trend file %1 could not be opened: %2").arg(path, error), TMsgDlgType::mtError, mbOK);
        return nullptr;
    }
    auto* window =
        new TTrendWindow(QFileInfo(path).fileName(), nullptr, {}, std::make_unique<TTrendFile>(std::move(*read)));
    window->show();
    return window;
}

QList<TTrendWindow*> TTrendWindow::Windows()
{
    return windows;
}

void TTrendWindow::CloseAll()
{
    for (TTrendWindow* window : Windows())
        delete window;
}

TTrendWindow::TTrendWindow(const QString& set, TKQDevice* device, const QStringList& firstItems,
                           std::unique_ptr<TTrendFile> opened)
    : QWidget(Dialogs::ParentWidget(), Qt::Window), set(set), device(device), file(std::move(opened))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("TrendWindow"));
    setWindowTitle(QStringLiteral("Trend - ") + set);
    windows << this;

    // The items with their colours beside the plot: what an exported picture shows.
    plot = new QWidget(this);
    legend = new QListWidget(plot);
    legend->setObjectName(QStringLiteral("TrendItems"));
    legend->setAccessibleName(QStringLiteral("Items plotted"));
    legend->setMaximumWidth(260);
    chart = new TTrendChart(plot);
    SetAccessibleRole(chart, QAccessible::Chart); // before the name, which makes its interface
    chart->setAccessibleName(QStringLiteral("Trend plot"));
    auto* body = new QHBoxLayout(plot);
    body->setContentsMargins(0, 0, 0, 0);
    body->addWidget(legend);
    body->addWidget(chart, 1);
    readout = new QLabel(this);
    readout->setObjectName(QStringLiteral("TrendReadout"));
    readout->setAccessibleName(QStringLiteral("Values under the cursor"));
    readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    readout->setWordWrap(true);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 0, 6, 6);
    column->addWidget(CreateTools());
    column->addWidget(plot, 1);
    column->addWidget(readout);
    resize(960, 540);
    setFocusPolicy(Qt::StrongFocus);

    connect(chart, &TTrendChart::CursorMoved, this, &TTrendWindow::MoveCursor);
    connect(chart, &TTrendChart::Dragged, this, &TTrendWindow::Pan);
    connect(chart, &TTrendChart::Wheeled, this,
            [this](int steps, long long at) { Zoom(std::pow(0.5, steps), at); });
    redrawTimer.setInterval(Timing::TrendRedrawInterval);
    connect(&redrawTimer, &QTimer::timeout, this, &TTrendWindow::Tick);

    if (file) {
        following = false;
        spanMs = std::max(LeastSpanMs, file->to - file->from);
        endMs = file->from + spanMs;
    } else {
        recorder = std::make_unique<TTrendRecorder>(device, Timing::TrendHistory.Unscaled());
        for (const QString& item : RememberedItems(firstItems))
            AddItem(item);
    }
    ItemsChanged();
}

TTrendWindow::~TTrendWindow()
{
    windows.removeAll(this);
}

QToolBar* TTrendWindow::CreateTools()
{
    auto* tools = new QToolBar(this);
    tools->setAccessibleName(QStringLiteral("Trend tools"));
    auto action = [this, tools](const QString& text, QKeySequence key, void (TTrendWindow::*slot)()) {
        QAction* a = tools->addAction(text, this, slot);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        a->setToolTip(text.section(u'.', 0, 0).remove(u'&') + QStringLiteral(" (") + key.toString() + u')');
        return a;
    };
    addAction = action(QStringLiteral("&Add Items..."), QKeySequence(Qt::Key_Insert), &TTrendWindow::AddItemsClick);
    removeAction = action(QStringLiteral("&Remove Item"), QKeySequence(Qt::Key_Delete), &TTrendWindow::RemoveItemClick);
    tools->addSeparator();
    pauseAction = tools->addAction(QStringLiteral("&Pause"));
    pauseAction->setCheckable(true);
    pauseAction->setShortcut(QKeySequence(Qt::Key_Space));
    pauseAction->setShortcutContext(Qt::WindowShortcut);
    connect(pauseAction, &QAction::triggered, this, &TTrendWindow::PauseClick);
    liveAction = action(QStringLiteral("&Live"), QKeySequence(Qt::Key_End), &TTrendWindow::LiveClick);
    tools->addSeparator();
    action(QStringLiteral("Zoom &In"), QKeySequence(Qt::Key_Plus), &TTrendWindow::ZoomInClick);
    action(QStringLiteral("Zoom &Out"), QKeySequence(Qt::Key_Minus), &TTrendWindow::ZoomOutClick);
    action(QStringLiteral("&Back"), QKeySequence(Qt::Key_Left), &TTrendWindow::PanBackClick);
    action(QStringLiteral("&Forward"), QKeySequence(Qt::Key_Right), &TTrendWindow::PanOnClick);
    tools->addSeparator();
    action(QStringLiteral("&Open..."), QKeySequence::Open, &TTrendWindow::OpenClick);
    action(QStringLiteral("Export &CSV..."), QKeySequence::Save, &TTrendWindow::ExportCsvClick);
    action(QStringLiteral("Export P&NG..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), &TTrendWindow::ExportPngClick);
    const bool live = !file;
    addAction->setEnabled(live);
    pauseAction->setEnabled(live);
    liveAction->setEnabled(live);
    return tools;
}

const TTrendData& TTrendWindow::Data() const
{
    return recorder ? recorder->Data() : file->data;
}

long long TTrendWindow::Now() const
{
    return file ? file->to : Timing::NowMs();
}

long long TTrendWindow::To() const
{
    return following ? Now() : endMs;
}

long long TTrendWindow::From() const
{
    return To() - spanMs;
}

QStringList TTrendWindow::RememberedItems(const QStringList& firstItems) const
{
    QSettings settings = Settings();
    const QString key = set + QStringLiteral("/Items");
    if (!settings.contains(key))
        return firstItems;
    return settings.value(key).toStringList().mid(0, MostItems);
}

void TTrendWindow::RememberItems() const
{
    if (!recorder)
        return;
    QStringList items;
    for (const TTrendChannel& channel : recorder->Data().channels)
        items << channel.item;
    QSettings settings = Settings();
    settings.setValue(set + QStringLiteral("/Items"), items);
}

void TTrendWindow::AddItem(const QString& item)
{
    if (!recorder || int(recorder->Data().channels.size()) >= MostItems)
        return;
    TrendCatalogue::Record(*recorder, item, device);
}

void TTrendWindow::AddItemsClick()
{
    if (!recorder || !device)
        return;
    const int room = MostItems - int(recorder->Data().channels.size());
    if (room <= 0) {
        MessageDlg(QStringLiteral("A trend plots at most %1 items. Remove one first.").arg(MostItems),
                   TMsgDlgType::mtInformation, mbOK);
        return;
    }
    // The items known by name, then every changeable item of the control.
    TChoiceRequest request;
    request.title = QStringLiteral("Add Items");
    request.prompt = QStringLiteral("&Items of the control:");
    request.most = room;
    QStringList items;
    for (const TTrendEntry& entry : TrendCatalogue::Entries()) {
        if (recorder->IndexOf(entry.item) < 0) {
            items << entry.item;
            request.choices << entry.name + QStringLiteral(" - ") + entry.item;
        }
    }
    try {
        for (const QString& item : device->MutableItemList()) {
            if (recorder->IndexOf(item) < 0 && !items.contains(item, Qt::CaseInsensitive)) {
                items << item;
                request.choices << item;
            }
        }
    } catch (const std::exception&) {
        // Without the control's list the known items are offered.
    }
    if (!Dialogs::Current().Choose(request))
        return;
    for (int index : std::as_const(request.chosen))
        AddItem(items.value(index));
    ItemsChanged();
}

void TTrendWindow::RemoveItemClick()
{
    const int row = legend->currentRow();
    if (row < 0)
        return;
    if (recorder)
        recorder->Remove(row);
    else
        file->data.channels.erase(file->data.channels.begin() + row);
    ItemsChanged();
}

void TTrendWindow::ItemsChanged()
{
    const int row = legend->currentRow();
    legend->clear();
    const TTrendData& data = Data();
    for (size_t c = 0; c < data.channels.size(); ++c) {
        auto* entry = new QListWidgetItem(Swatch(TTrendChart::Colour(int(c))), data.channels[c].Title(), legend);
        entry->setToolTip(data.channels[c].item);
    }
    legend->setCurrentRow(std::min(row, legend->count() - 1));
    removeAction->setEnabled(legend->count() > 0);
    if (recorder)
        addAction->setEnabled(legend->count() < MostItems);
    RememberItems();
    Redraw();
}

void TTrendWindow::PauseClick(bool paused)
{
    if (!recorder)
        return;
    if (paused && following)
        endMs = Now();
    SetFollowing(!paused);
}

void TTrendWindow::SetFollowing(bool follow)
{
    following = follow;
    pauseAction->setChecked(!following);
    pauseAction->setText(following ? QStringLiteral("&Pause") : QStringLiteral("&Resume"));
    Redraw();
}

void TTrendWindow::LiveClick()
{
    PauseClick(false);
}

void TTrendWindow::Zoom(double factor, std::optional<long long> about)
{
    const long long to = To();
    const long long anchor = about.value_or(following ? to : to - spanMs / 2);
    const long long longest = file ? std::max(LeastSpanMs, file->to - file->from) : Timing::TrendHistory.Unscaled();
    const long long span = std::clamp((long long)(double(spanMs) * factor), LeastSpanMs, longest);
    // The time under the anchor stays where it is.
    const double share = double(anchor - (to - spanMs)) / double(spanMs);
    spanMs = span;
    if (!following)
        endMs = anchor + (long long)((1.0 - share) * double(span));
    Redraw();
}

void TTrendWindow::ZoomInClick()
{
    Zoom(0.5, std::nullopt);
}

void TTrendWindow::ZoomOutClick()
{
    Zoom(2.0, std::nullopt);
}

void TTrendWindow::Pan(long long milliseconds)
{
    long long end = To() + milliseconds;
    if (recorder && end >= Now()) {
        SetFollowing(true);
        return;
    }
    if (file)
        end = std::clamp(end, file->from, file->to + spanMs); // the file stays in sight
    endMs = end;
    if (following)
        SetFollowing(false); // draws
    else
        Redraw();
}

void TTrendWindow::PanBackClick()
{
    Pan(-spanMs / 4);
}

void TTrendWindow::PanOnClick()
{
    Pan(spanMs / 4);
}

void TTrendWindow::MoveCursor(long long time)
{
    cursor = time;
    chart->SetCursor(cursor);
    ShowReadout();
}

void TTrendWindow::ShowReadout()
{
    readout->setText(Readout());
}

QString TTrendWindow::Readout() const
{
    if (!cursor)
        return QStringLiteral("Point at the plot to read the values.");
    QStringList values;
    for (const TTrendChannel& channel : Data().channels) {
        const std::optional<double> value = channel.series.ValueAt(*cursor);
        values << channel.name + u' ' + (value ? Value(*value) + (channel.unit.isEmpty() ? QString() : u' ' + channel.unit)
                                               : QStringLiteral("-"));
    }
    return QDateTime::fromMSecsSinceEpoch(*cursor).toString(ReadoutTimeFormat) + QStringLiteral(": ")
           + values.join(QStringLiteral(", "));
}

void TTrendWindow::OpenClick()
{
    TFileDialogRequest request =
        FileRequest(QStringLiteral("Open trend file"), DataFolders::TripCaptures(), CsvFilter, "csv");
    if (Dialogs::Current().OpenFile(request))
        OpenFile(request.fileName);
}

void TTrendWindow::ExportCsvClick()
{
    TFileDialogRequest request =
        FileRequest(QStringLiteral("Export trend as CSV"), DataFolders::Values(), CsvFilter, "csv");
    request.fileName = QStringLiteral("Trend %1.csv")
                           .arg(QDateTime::fromMSecsSinceEpoch(To()).toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")));
    if (!Dialogs::Current().SaveFile(request))
        return;
    TTrendFile out;
    out.data = Data();
    out.zero = From();
    out.notes = {{QStringLiteral("Trend"), set}};
    QString error;
    if (!out.Write(request.fileName, From(), To(), &error))
        MessageDlg(QStringLiteral("The trend could not be written to %1: %2").arg(request.fileName, error),
                   TMsgDlgType::mtError, mbOK);
}

void TTrendWindow::ExportPngClick()
{
    TFileDialogRequest request =
        FileRequest(QStringLiteral("Export trend as picture"), DataFolders::Values(), PngFilter, "png");
    if (!Dialogs::Current().SaveFile(request))
        return;
    Redraw();
    if (!plot->grab().save(request.fileName, "PNG"))
        MessageDlg(QStringLiteral("The picture could not be written to %1.").arg(request.fileName),
                   TMsgDlgType::mtError, mbOK);
}

void TTrendWindow::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) && (event->modifiers() & Qt::ShiftModifier)) {
        const long long step = spanMs / 100 * (event->key() == Qt::Key_Left ? -1 : 1);
        MoveCursor(std::clamp(cursor.value_or(To()) + step, From(), To()));
        return;
    }
    if (event->key() == Qt::Key_Equal) { // + without Shift
        ZoomInClick();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TTrendWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    redrawTimer.start();
    dirty = true;
}

void TTrendWindow::hideEvent(QHideEvent* event)
{
    redrawTimer.stop();
    QWidget::hideEvent(event);
}

void TTrendWindow::Tick()
{
    // Following the present, the plot is drawn again once it has moved by a
    // pixel's worth of time: sooner would show nothing new.
    if (following && Now() - drawnAt >= spanMs / std::max(1, chart->width()))
        dirty = true;
    if (dirty)
        Redraw();
}

void TTrendWindow::Redraw()
{
    dirty = false;
    drawnAt = Now();
    chart->Plot(Data(), From(), To(), drawnAt);
    // The legend tells the latest values while the window follows the present.
    const TTrendData& data = Data();
    for (int row = 0; row < legend->count() && row < int(data.channels.size()); ++row) {
        const TTrendChannel& channel = data.channels[size_t(row)];
        const std::optional<double> value = channel.series.ValueAt(To());
        const QString text = channel.Title() + (value ? QStringLiteral(": ") + Value(*value) : QString());
        if (legend->item(row)->text() != text)
            legend->item(row)->setText(text);
    }
    if (cursor)
        ShowReadout();
}
