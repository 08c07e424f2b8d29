#include "app/FormWindow.h"

#include "controls/FormClasses.h"
#include "controls/KQForms.h"
#include "controls/KQItemSpy.h"
#include "datalink/KQItem.h"
#include "platform/Assert.h"
#include "platform/Exception.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void TFormWindow::LoadForm(const QString& name, const TFormReferences& references, const TFormLoadOptions& options)
{
    RegisterAllFormClasses();
    formName = name;
    KeepParts(TFormLoader::Load(TFormLoader::ResourcePath(name), window, references, options));
}

void TFormWindow::KeepParts(const QList<QObject*>& created)
{
    for (QObject* component : created)
        if (!component->objectName().isEmpty())
            parts.insert(component->objectName(), component);
}

void TFormWindow::RequirePart(bool found, const QString& name) const
{
    Assert(found, QStringLiteral("Form %1: no part %2 of the class the window needs").arg(formName, name));
}

void TFormWindow::CentreOnScreen() const
{
    const QWidget* owner = window->parentWidget();
    const QScreen* screen = owner ? owner->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void TFormWindow::Show(QObject* part, bool shown)
{
    if (auto* page = qobject_cast<TKQTabSheet*>(part))
        page->SetTabVisible(shown);
    else if (part->metaObject()->indexOfProperty("Visible") >= 0)
        part->setProperty("Visible", shown);
    else if (auto* widget = qobject_cast<QWidget*>(part))
        widget->setVisible(shown);
}

namespace {

QVariant SpyValue(const QObject* spy)
{
    const auto* itemSpy = qobject_cast<const TKQItemSpy*>(spy);
    return itemSpy ? itemSpy->Value() : QVariant();
}

} // namespace

bool TFormWindow::SpyHoldsValue(const QObject* spy)
{
    const auto* itemSpy = qobject_cast<const TKQItemSpy*>(spy);
    return itemSpy && itemSpy->HasValue();
}

int TFormWindow::SpyInt(const QObject* spy)
{
    bool ok = false;
    const int value = SpyValue(spy).toString().trimmed().toInt(&ok);
    return ok ? value : NotANumber;
}

bool TFormWindow::SpyBool(const QObject* spy)
{
    try {
        return VariantToBool(SpyValue(spy));
    } catch (const std::exception&) {
        return false;
    }
}

QString TFormWindow::SpyText(const QObject* spy)
{
    return SpyValue(spy).toString();
}

void TFormWindow::ShowFailure(const std::exception& error)
{
    ShowException(error);
}
