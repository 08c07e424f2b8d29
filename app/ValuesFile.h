// The File menu's values-file commands: saving every programmable value of the
// control to a text file, and loading such a file into a control in configure
// mode, with the range checking that a load switches off and on again.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;
class TKQDatorelConfig;
class TKQDatorelControl;
class TStatusPoll;

class TValuesFile {
public:
    // The open dialog's filters, shared with the network definition file's choice.
    static QStringList OpenFilters();
    static constexpr int ConfigurationFilter = 1;
    static constexpr int NetworkFilter = 2;

    // window: the main window, disabled while a load runs; toolBar: its tool bar;
    // normalStatus: what ends a command (Working window hidden, poll restarted).
    TValuesFile(QWidget* window, QWidget* toolBar, TKQDatorelControl* device, TKQDatorelConfig* config,
                TStatusPoll& poll, std::function<void()> normalStatus);

    void Save1Click();
    void Loadfromfile1Click();

    void EnableRangeChecking(bool enable);
    bool ControlInLoadFromFileState();
    // The file's name without folder and extension: the configuration's name.
    static QString ExtractName(const QString& path);

private:
    QWidget* window;
    QWidget* toolBar;
    TKQDatorelControl* device;
    TKQDatorelConfig* config;
    TStatusPoll& poll;
    std::function<void()> normalStatus;
    QString lastOpenFileName;
    QString lastSaveFileName;
};
