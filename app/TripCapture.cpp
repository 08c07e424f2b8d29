#include "app/TripCapture.h"

#include "app/TrendCatalogue.h"
#include "datalink/KQDevice.h"
#include "datalink/TrendFile.h"
#include "platform/Timing.h"
#include "platform/files/DataFolders.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
// The file name keeps this much of the trip message.
constexpr int MessageInName = 40;
const QString NameTimeFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss");
}

TTripCapture::TTripCapture(TKQDevice* device, QObject* owner)
    : QObject(owner), recorder(device, Timing::TripCaptureBefore.Unscaled() + Timing::TripCaptureAfter.Unscaled()),
      device(device)
{
    for (const QString& item : TrendCatalogue::TripCaptureItems())
        TrendCatalogue::Record(recorder, item, device);
    newestTripMessage = Watch(QStringLiteral("X_ELOG.T.MESG_O_1"), &TTripCapture::MessageChanged);
    running = Watch(QStringLiteral("X_TRIPS.NOT_SD.NOT"), &TTripCapture::RunningChanged);
    newestTrip = Watch(QStringLiteral("X_ELOG.T.EV_TM_1"), &TTripCapture::TripHistoryChanged);
    after.setSingleShot(true);
    after.setTimerType(Qt::PreciseTimer);
    connect(&after, &QTimer::timeout, this, [this] {
        // A timer may fire a little early: the span after the trip is waited for in full.
        const long long left = *trippedAt + Timing::TripCaptureAfter.Unscaled() - Timing::NowMs();
        if (left > 0)
            after.start(Timing::Scaled(int(left)));
        else
            Write();
    });
}

TTripCapture::~TTripCapture()
{
    if (trippedAt)
        Write();
    if (!device)
        return;
    for (const TWatched& w : watched) {
        w.item->Unadvise(TNotifyEvent(this, w.changed));
        device->ReleaseItem(w.item->ItemName());
    }
}

TKQItem* TTripCapture::Watch(const QString& name, void (TTripCapture::*changed)(TObject*))
{
    TKQItem* item = device->GetItem(name);
    watched.push_back({item, changed});
    item->Advise(TNotifyEvent(this, changed));
    return item;
}

void TTripCapture::RunningChanged(TObject*)
{
    const bool now = VariantToBool(running->Value());
    if (wasRunning.value_or(false) && !now)
        Tripped();
    wasRunning = now;
}

void TTripCapture::TripHistoryChanged(TObject*)
{
    const QString time = newestTrip->Value().toString();
    // The entry there when the program came on line is no new trip.
    if (newestTripTime && *newestTripTime != time && !time.isEmpty())
        Tripped();
    newestTripTime = time;
}

void TTripCapture::Tripped()
{
    if (trippedAt)
        return; // one capture per trip: the second sign of it
    trippedAt = Timing::NowMs();
    after.start(Timing::TripCaptureAfter);
    emit Notice(QStringLiteral("Trip at %1: capturing the trend until %2")
                    .arg(QDateTime::fromMSecsSinceEpoch(*trippedAt).toString(QStringLiteral("HH:mm:ss")),
                         QDateTime::fromMSecsSinceEpoch(*trippedAt + Timing::TripCaptureAfter.Unscaled())
                             .toString(QStringLiteral("HH:mm:ss"))));
}

void TTripCapture::Write()
{
    if (!trippedAt)
        return;
    const long long at = *trippedAt;
    trippedAt.reset();
    after.stop();
    const QString message = newestTripMessage->HasValue() ? newestTripMessage->Value().toString().trimmed() : QString();

    TTrendFile file;
    file.data = recorder.Data();
    file.zero = at;
    file.notes = {{QStringLiteral("Trip"), message.isEmpty() ? QStringLiteral("(no trip message)") : message},
                  {QStringLiteral("Tripped at"),
                   QDateTime::fromMSecsSinceEpoch(at).toString(QString::fromLatin1(TTrendFile::TimeFormat))}};
    QString name = QDateTime::fromMSecsSinceEpoch(at).toString(NameTimeFormat);
    // The message's words joined by "_": a name any shell and file system takes.
    const QStringList words = message.split(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), Qt::SkipEmptyParts);
    if (!words.isEmpty())
        name += u'_' + words.join(u'_').left(MessageInName);
    const QDir folder(DataFolders::TripCaptures());
    QString path = folder.filePath(name + QStringLiteral(".csv"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder.filePath(name + QStringLiteral("_%1.csv").arg(n));
    QString error;
    const long long from = at - Timing::TripCaptureBefore.Unscaled();
    const long long to = std::min(Timing::NowMs(), at + Timing::TripCaptureAfter.Unscaled());
    if (file.Write(path, from, to, &error))
        emit Notice(QStringLiteral("Trip capture: ") + QDir::toNativeSeparators(path));
    else
        emit Notice(QStringLiteral("Trip capture not written to %1: %2").arg(QDir::toNativeSeparators(path), error));
}
