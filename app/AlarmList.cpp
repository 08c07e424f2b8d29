#include "app/AlarmList.h"

#include "datalink/KQDevice.h"
#include "datalink/KQItem.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

const QString AlarmCountItem = QStringLiteral("Y_ALARMS.ALARMS.NUM_EVENTS");
// The widest time stamp, for the time column.
const QString TimeColumnSample = QStringLiteral("00-MMM 00:00:00    ");

// How far a label's leading blanks push its text to the right.
int LeadingBlanksWidth(const QLabel* label)
{
    const QString text = label->text();
    qsizetype blanks = 0;
    while (blanks < text.size() && text.at(blanks) == QLatin1Char(' '))
        ++blanks;
    return QFontMetrics(label->font()).horizontalAdvance(text.left(blanks));
}

// A one-off read: the item's text, empty when it cannot be had.
QString ReadText(TKQDevice* device, const QString& itemName)
{
    if (!device)
        return {};
    QString text;
    try {
        TKQItem* item = device->GetItem(itemName);
        try {
            text = VariantToText(item->Value());
        } catch (const std::exception&) {
            text.clear();
        }
        device->ReleaseItem(itemName);
    } catch (const std::exception&) {
        // An item that cannot be had counts as no value.
    }
    return text;
}

// Draws "time<TAB>message" lines with the message in a column of its own.
class TAlarmLineDelegate : public QStyledItemDelegate {
public:
    TAlarmLineDelegate(QObject* parent, qreal tabStop) : QStyledItemDelegate(parent), tabStop(tabStop) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QString text = item.text;
        item.text.clear();
        QStyle* style = item.widget ? item.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget);
        QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
        layout.setTabStopDistance(tabStop);
        layout.setWrapMode(QTextOption::NoWrap);
        painter->save();
        painter->setFont(item.font);
        painter->setPen(item.palette.color(item.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                                : QPalette::Text));
        painter->drawText(QRectF(area), text, layout);
        painter->restore();
    }

private:
    qreal tabStop;
};

} // namespace

TAlarmList::TAlarmList(QListWidget* list, QLabel* timeHeading, QLabel* titleHeading, TItems items)
    : list(list), items(items)
{
    // The message column starts at one tab stop, under the heading's title.
    const qreal tabStop = list->fontMetrics().horizontalAdvance(TimeColumnSample);
    list->setItemDelegate(new TAlarmLineDelegate(list, tabStop));
    const int indent = list->frameWidth() + list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1;
    const QLayout* heading = timeHeading->parentWidget()->layout();
    // The headings' leading blanks stand before their columns, so that the words line up with the lines.
    timeHeading->setIndent(std::max(0, indent - LeadingBlanksWidth(timeHeading)));
    timeHeading->setFixedWidth(indent + int(tabStop) - (heading ? heading->spacing() : 0)
                               - LeadingBlanksWidth(titleHeading));
}

void TAlarmList::Fill(TKQDevice* device)
{
    if (restart) {
        list->clear();
        index = 1;
        restart = false;
    } else {
        ++index;
    }
    int limit = items.fixedLimit;
    if (limit == 0) {
        bool ok = false;
        limit = ReadText(device, AlarmCountItem).trimmed().toInt(&ok);
        if (!ok)
            limit = 0;
    }
    if (index > limit)
        return;
    const QString i = QString::number(index);
    list->addItem(ReadText(device, QLatin1String(items.timePrefix) + i) + '\t'
                  + ReadText(device, QLatin1String(items.messagePrefix) + i));
}
