// The smallest bound control, for the controls' own tests: shows its item's
// value as text, and has a property of every kind a form sets. A test that
// uses it includes "moc_BoundProbe.cpp".
#pragma once

#include "controls/KComponent.h"
#include "controls/KQBoundControl.h"
#include "platform/Assert.h"

#include <QColor>
#include <QFont>
#include <QStringList>
#include <QVariantList>
#include <QWidget>

class TBoundProbe : public QWidget, public TKComponent, public TKQBoundControl {
    Q_OBJECT
    TKQ_BOUND_PROPERTIES
    Q_PROPERTY(QString Value MEMBER value)
    Q_PROPERTY(bool IsMonitorOnly MEMBER isMonitorOnly)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(unsigned char DecimalPlaces MEMBER decimalPlaces)
    Q_PROPERTY(double Ratio MEMBER ratio)
    Q_PROPERTY(QColor OnColor MEMBER onColor)
    Q_PROPERTY(QVariantList EnumList MEMBER enumList)
    Q_PROPERTY(QFont Font MEMBER font)
    Q_PROPERTY(TKind Kind MEMBER kind)
    Q_PROPERTY(QString ReadOnly READ ReadOnly)
public:
    enum TKind { kindPlain, kindFancy };
    Q_ENUM(TKind)

    explicit TBoundProbe(QWidget* parent = nullptr) : QWidget(parent) { }

    QString ReadOnly() const { return QString(); }
    int Tag() const { return tag; }
    void SetTag(int value)
    {
        Assert(value >= 0, "TBoundProbe.SetTag: negative tag");
        tag = value;
    }
    void Loaded() override
    {
        loadedOrder << objectName();
        TKComponent::Loaded();
        binding.Loaded();
    }
    bool Subscribed() const { return binding.Subscribed(); }
    void SwitchViewOnly(bool monitorOnly) override { isMonitorOnly = monitorOnly; }

    // Names of the components whose loading ended, in order.
    inline static QStringList loadedOrder;

    QString value;
    bool isMonitorOnly = false;
    int tag = 0;
    unsigned char decimalPlaces = 2;
    double ratio = 0;
    QColor onColor;
    QVariantList enumList;
    QFont font;
    TKind kind = kindPlain;
    QString shown; // the item's value as last taken over

signals:
    void OnValueChange(QObject* sender);

private:
    TKQBinding& Binding() override { return binding; }
    TKQBinding binding{this, this, TItemLookup::ControlDevice, [this] {
                           shown = binding.Read().toString();
                           emit OnValueChange(this);
                       }};
};
