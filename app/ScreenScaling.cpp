#include "app/ScreenScaling.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace ScreenScaling {

TScaleFactors ScaleFactorsFor(int fullScreenClientHeight)
{
    if (fullScreenClientHeight > 1000)
        return {1256, 1400};
    if (fullScreenClientHeight > 700)
        return {1150, 1210};
    if (fullScreenClientHeight > 500)
        return {1050, 990};
    return {1000, 890};
}

TScaleFactors ScaleAndCentre(QWidget* window, QSize designSize)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int fullScreenClient = screen ? screen->availableGeometry().height()
                                              - window->style()->pixelMetric(QStyle::PM_TitleBarHeight)
                                        : designSize.height();
    const TScaleFactors factors = ScaleFactorsFor(fullScreenClient);
    window->resize(designSize.width() * factors.width / 1000, designSize.height() * factors.height / 1000);
    if (screen) {
        QRect frame(QPoint(), window->size());
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    return factors;
}

} // namespace ScreenScaling
