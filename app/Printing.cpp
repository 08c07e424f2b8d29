#include "app/Printing.h"

#include "platform/Exception.h"
#include "platform/dialogs/Dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QWidget>

namespace Printing {

namespace {

// a * b / c, rounded to the nearest whole number.
int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const qint64 product = qint64(a) * b;
    return int((product + (product >= 0 ? c / 2 : -c / 2)) / c);
}

} // namespace

QSize FitToPage(QSize picture, QSize page)
{
    const int w = picture.width();
    const int h = picture.height();
    int width = MulDiv(w, page.height(), h);
    int height;
    if (page.width() <= width) {
        width = page.width();
        height = MulDiv(h, page.width(), w);
    } else {
        height = page.height();
    }
    return {width, height};
}

void Printcurrentpage1Click(QWidget* window)
{
    QPrinter printer(QPrinter::HighResolution);
    if (!Dialogs::Current().PrintSetup(printer))
        return;
    window->setCursor(Qt::WaitCursor);
    window->repaint();
    // What the operator sees goes to the clipboard, as a screen capture of the
    // active window would, and is printed from there.
    QClipboard* clipboard = QGuiApplication::clipboard();
    QWidget* active = QApplication::activeWindow();
    clipboard->setImage((active ? active : window)->grab().toImage());
    QApplication::processEvents();
    const QImage bitmap = clipboard->image();
    if (!bitmap.isNull()) {
        try {
            Print(bitmap, printer);
        } catch (const std::exception& error) {
            ShowException(error);
        }
    }
    window->unsetCursor();
}

void Print(const QImage& bitmap, QPrinter& printer)
{
    QPainter painter;
    if (!painter.begin(&printer))
        throw Exception(QStringLiteral("Printer is not ready."));
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QSize size = FitToPage(bitmap.size(), page.size());
    painter.drawImage(QRect(QPoint(0, 0), size), bitmap, bitmap.rect());
    painter.end();
}

} // namespace Printing
