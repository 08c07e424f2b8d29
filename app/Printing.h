// "Print current page": the active window as the operator sees it, printed on
// one page, scaled to fit.
#pragma once

#include <QSize>

class QImage;
class QPrinter;
class QWidget;

namespace Printing {
// Asks for the printer and prints what the window shows.
void Printcurrentpage1Click(QWidget* window);
// Prints one picture on one page, scaled to fit; raises Exception when the printer is not ready.
void Print(const QImage& bitmap, QPrinter& printer);
// Size on the page of a picture, fit to the page.
QSize FitToPage(QSize picture, QSize page);
}
