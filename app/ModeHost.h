// What a mode window may ask of the main window that hosts it, and nothing
// more: the mode windows never see the main window's fields.
#pragma once

#include <QString>

class TKQDatorelControl;

// The three mode windows.
enum class TMode { Run, Program, Service };

class TModeHost {
public:
    // The control device every window binds to.
    virtual TKQDatorelControl* ControlDevice() const = 0;
    // The program is closing: a mode window may close at once.
    virtual bool ProgramEnding() const = 0;
    // A mode window wants to close: the host disables itself, shows the text
    // and releases the window on its next deferred-action tick.
    virtual void RequestClose(TMode mode, const QString& closingText) = 0;
    // A mode window was resized or moved: the deferred-action period begins anew.
    virtual void RestartMainTimer() = 0;
    // The window of the mode became the active one.
    virtual void ModeActivated(TMode mode) = 0;
    // Whether the editor of the mode was opened for change (not view only).
    virtual bool OpenForChange(TMode mode) const = 0;
    // Asks for the password of the mode named; true once it was given.
    virtual bool CheckPassword(const QString& password, const QString& modeName) = 0;
    // Whether the control is in configure mode (from the status poll while it is recent).
    virtual bool bInConfMode() = 0;
    // The status poll stops while a window subscribes many items, and restarts after.
    virtual void SuspendOtherAdvises() = 0;
    virtual void RestartOtherAdvises() = 0;
    // A values-file load did not complete: the control is only partly configured.
    virtual bool ControlInLoadFromFileState() = 0;
    // Program mode asked the control to check its configuration (its test item
    // is set): the host follows the check and closes Program mode when it passes.
    virtual void StartConfigurationCheck() = 0;
    // The main window takes no input while a window runs a long command.
    virtual void SetMainWindowEnabled(bool enabled) = 0;
    // The values-file commands of the File menu.
    virtual void SaveValuesToFile() = 0;
    virtual void LoadValuesFromFile() = 0;

protected:
    ~TModeHost() = default;
};
